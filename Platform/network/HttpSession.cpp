#include "Platform/network/HttpSession.h"

#include "Platform/network/CurlTransfer.h"

#include <array>
#include <curl/curl.h>
#include <mutex>

namespace orvaneh {

struct HttpSession::State {
    CURLSH* share = (CurlTransfer::initialiseCurlOnce(), curl_share_init());
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<State*>(user)->locks.at(static_cast<std::size_t>(data)).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user) {
        static_cast<State*>(user)->locks.at(static_cast<std::size_t>(data)).unlock();
    }
};

HttpSession::HttpSession() : state_(std::make_unique<State>()) {
    if (state_->share == nullptr) {
        return; // requests then go without sharing
    }
    curl_share_setopt(state_->share, CURLSHOPT_LOCKFUNC, &State::lock);
    curl_share_setopt(state_->share, CURLSHOPT_UNLOCKFUNC, &State::unlock);
    curl_share_setopt(state_->share, CURLSHOPT_USERDATA, state_.get());
    curl_share_setopt(state_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(state_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(state_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
}

HttpSession::~HttpSession() {
    // Every request holds its session, so no easy handle uses the share any more.
    if (state_->share != nullptr) {
        curl_share_cleanup(state_->share);
    }
}

void* HttpSession::shareHandle() const {
    return state_->share;
}

} // namespace orvaneh
