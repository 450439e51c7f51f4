#include "Platform/network/HttpConnection.h"

#include "Platform/network/CurlTransfer.h"
#include "Platform/network/HttpSession.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace orvaneh {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(std::string_view text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

struct HttpConnection::State : std::enable_shared_from_this<State> {
    State(Request r, RunLoop& loop, Callbacks c)
        : request(std::move(r)), callbacks(std::move(c)), transfer(loop) {}

    Request request;
    Callbacks callbacks;
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList{nullptr, &curl_slist_free_all};
    // Worker only: the header block being received and whether the response went out.
    std::string mimeType;
    std::int64_t contentLength = -1;
    std::vector<std::pair<std::string, std::string>> headers;
    bool responseSent = false;
    // The first 401 of a request with challenge credentials: libcurl answers it by itself, so
    // its head and body are not the answer.
    bool challengeAnswered = false;
    bool skippingChallenge = false;
    // Last, so that the handle goes before the header list and body it points to.
    CurlTransfer transfer;

    void configure() {
        CURL* easy = transfer.handle();
        transfer.setLimits({request.timeout, request.stallLimit, request.answerWait, request.maxAnswerBytes});
        curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        transfer.verifyServerCertificates();
        curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        if (request.session && request.session->shareHandle() != nullptr) {
            curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(request.session->shareHandle()));
        }
        if (!request.challengeUser.empty() || !request.challengePassword.empty()) {
            curl_easy_setopt(easy, CURLOPT_USERNAME, request.challengeUser.c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, request.challengePassword.c_str());
            // With more than one scheme allowed, libcurl waits for the server's challenge. No NTLM or
            // Negotiate: they tie a connection to one account, which would forbid its reuse.
            curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC | CURLAUTH_DIGEST);
        }

        if (request.method == "HEAD") {
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        } else if (request.method != "GET" || !request.body.empty()) {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
            if (request.method != "POST") {
                curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
            }
        }
        // The servers we talk to answer at once; waiting for "100 Continue" only adds delay.
        curl_slist* list = curl_slist_append(nullptr, "Expect:");
        for (const auto& [name, value] : request.headers) {
            list = curl_slist_append(list, (name + ": " + value).c_str());
        }
        headerList.reset(list);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);

        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &State::receiveHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &State::receiveData);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    }

    static std::size_t receiveHeader(char* bytes, std::size_t size, std::size_t count, void* user) {
        auto* state = static_cast<State*>(user);
        state->transfer.answerStarted();
        std::string_view line(bytes, size * count);
        auto colon = line.find(':');
        if (trimmed(line).empty()) {
            long status = state->transfer.replyCode();
            const bool challenge =
                status == 401 && !state->challengeAnswered &&
                (!state->request.challengeUser.empty() || !state->request.challengePassword.empty());
            if (challenge) {
                state->challengeAnswered = true;
                state->skippingChallenge = true;
            } else if (status >= 200 && !state->responseSent) {
                // 1xx blocks precede the real answer.
                state->sendResponse(status);
            }
            state->mimeType.clear();
            state->contentLength = -1;
            state->headers.clear();
        } else if (colon != std::string_view::npos) {
            state->skippingChallenge = false;
            auto name = lowercase(std::string(line.substr(0, colon)));
            auto value = trimmed(line.substr(colon + 1));
            state->headers.emplace_back(name, value);
            if (name == "content-type") {
                state->mimeType = lowercase(trimmed(value.substr(0, value.find(';'))));
            } else if (name == "content-length") {
                std::int64_t length = -1;
                auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
                state->contentLength =
                    error == std::errc() && end == value.data() + value.size() ? length : -1;
            }
        }
        return size * count;
    }

    static std::size_t receiveData(char* bytes, std::size_t size, std::size_t count, void* user) {
        auto* state = static_cast<State*>(user);
        if (state->skippingChallenge) {
            return size * count;
        }
        if (!state->transfer.acceptAnswerBytes(size * count)) {
            return 0;
        }
        if (!state->responseSent) {
            state->sendResponse(state->transfer.replyCode());
        }
        std::string chunk(bytes, size * count);
        state->transfer.post([state, self = state->shared_from_this(), chunk = std::move(chunk)] {
            if (auto data = state->transfer.callback(state->callbacks.data)) {
                data(chunk);
            }
        });
        return size * count;
    }

    void sendResponse(long status) {
        responseSent = true;
        Response response{status, mimeType, contentLength, headers};
        transfer.post([this, self = shared_from_this(), response] {
            if (auto callback = transfer.callback(callbacks.response)) {
                callback(response);
            }
        });
    }

    void run() {
        CURLcode code = transfer.perform();
        if (code == CURLE_OK && !responseSent) {
            sendResponse(transfer.replyCode());
        }
        std::optional<NetworkError> failure;
        if (code != CURLE_OK) {
            failure = transfer.limitFailure().value_or(NetworkError::fromCurl(code, transfer.replyCode()));
        }
        transfer.post([this, self = shared_from_this(), failure] { end(failure); });
    }

    // On the loop: the last delivery; the callbacks are let go afterwards.
    void end(const std::optional<NetworkError>& failure) {
        auto onFailure = transfer.callback(callbacks.failure);
        auto onFinished = transfer.callback(callbacks.finished);
        releaseCallbacks();
        if (failure && onFailure) {
            onFailure(*failure);
        } else if (!failure && onFinished) {
            onFinished();
        }
    }

    void releaseCallbacks() {
        Callbacks released;
        transfer.locked([&] { std::swap(released, callbacks); });
    }
};

HttpConnection::HttpConnection(Request request, RunLoop& loop, Callbacks callbacks)
    : state_(std::make_shared<State>(std::move(request), loop, std::move(callbacks))) {
    state_->configure();
    auto* state = state_.get();
    if (!state->transfer.start(state_, [state] { state->run(); })) {
        state->transfer.post([state, self = state_] { state->end(NetworkError::notStarted()); });
    }
}

HttpConnection::~HttpConnection() {
    cancel();
}

void HttpConnection::cancel() {
    state_->transfer.cancel();
    state_->releaseCallbacks();
}

} // namespace orvaneh
