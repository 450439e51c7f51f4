#include "Platform/network/CurlTransfer.h"

#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <utility>

namespace orvaneh {

void CurlTransfer::initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlTransfer::CurlTransfer(RunLoop& loop) : loop_(&loop), easy_((initialiseCurlOnce(), curl_easy_init())) {}

CurlTransfer::~CurlTransfer() {
    curl_easy_cleanup(easy_);
}

void CurlTransfer::verifyServerCertificates() {
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string trusted =
        PreferenceStore::standard().stringForKey("TrustedCertificatesFile").value_or("");
    if (!trusted.empty()) {
        // The system's directory is named too, so that its authorities stay trusted beside the file.
        curl_easy_setopt(easy_, CURLOPT_CAINFO, trusted.c_str());
        curl_easy_setopt(easy_, CURLOPT_CAPATH, kSystemCertificateDirectory);
    }
}

void CurlTransfer::setLimits(const Limits& limits) {
    limits_ = limits;
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    if (limits.total > Seconds::zero()) {
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(std::lround(limits.total.count() * 1000)));
    }
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::lround(limits.stall.count() * 1000)));
    // curl's own low-speed limit would also count the office's thinking time once the body
    // is sent: the stall is measured here instead.
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::progress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
}

int CurlTransfer::progress(void* user, curl_off_t /*receiveTotal*/, curl_off_t received, curl_off_t sendTotal,
                           curl_off_t sent) {
    auto* self = static_cast<CurlTransfer*>(user);
    const auto now = std::chrono::steady_clock::now();
    if (sent != self->lastSent_ || received != self->lastReceived_) {
        self->lastSent_ = sent;
        self->lastReceived_ = received;
        self->lastMove_ = now;
    }
    const bool awaitingAnswer = sent >= sendTotal && received == 0 && !self->answerStarted_;
    Seconds waited{};
    Seconds limit{};
    if (awaitingAnswer) {
        if (!self->awaitingSince_) {
            self->awaitingSince_ = now;
        }
        waited = now - *self->awaitingSince_;
        limit = self->limits_.answerWait;
    } else {
        if (self->awaitingSince_) {
            // The answer begins now (its status line moves no byte counter).
            self->awaitingSince_.reset();
            self->lastMove_ = now;
        }
        waited = now - self->lastMove_;
        limit = self->limits_.stall;
    }
    if (limit > Seconds::zero() && waited >= limit) {
        self->stalled_ = true;
        return 1;
    }
    return 0;
}

bool CurlTransfer::acceptAnswerBytes(std::size_t count) {
    if (count > limits_.maxAnswerBytes - std::min(answerBytes_, limits_.maxAnswerBytes)) {
        tooLarge_ = true;
        return false;
    }
    answerBytes_ += count;
    return true;
}

std::optional<NetworkError> CurlTransfer::limitFailure() const {
    if (tooLarge_) {
        return NetworkError::answerTooLarge(limits_.maxAnswerBytes);
    }
    if (stalled_) {
        return NetworkError::fromCurl(CURLE_OPERATION_TIMEDOUT, replyCode());
    }
    return std::nullopt;
}

bool CurlTransfer::start(std::shared_ptr<void> keepAlive, std::function<void()> body) {
    try {
        std::thread([keepAlive = std::move(keepAlive), body = std::move(body)] { body(); }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

CURLcode CurlTransfer::perform() {
    CURLM* multi = curl_multi_init();
    if (multi == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) {
            curl_multi_cleanup(multi);
            return CURLE_ABORTED_BY_CALLBACK;
        }
        multi_ = multi;
    }
    lastMove_ = std::chrono::steady_clock::now();
    awaitingSince_.reset(); // a second perform of the handle waits afresh
    curl_multi_add_handle(multi, easy_);
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    result = message->data.result;
                }
            }
            break;
        }
        if (isCancelled()) {
            break;
        }
        // Woken at once by cancel(); the time-out only bounds the wait between checks.
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    std::lock_guard lock(mutex_);
    curl_multi_remove_handle(multi, easy_);
    curl_multi_cleanup(multi);
    multi_ = nullptr;
    return cancelled_ ? CURLE_ABORTED_BY_CALLBACK : result;
}

long CurlTransfer::replyCode() const {
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

void CurlTransfer::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    if (!cancelled_) {
        loop_->post(std::move(task));
    }
}

void CurlTransfer::locked(const std::function<void()>& change) {
    std::lock_guard lock(mutex_);
    change();
}

void CurlTransfer::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (multi_ != nullptr) {
        curl_multi_wakeup(multi_);
    }
}

bool CurlTransfer::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

} // namespace orvaneh
