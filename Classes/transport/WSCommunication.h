#pragma once

#include "Classes/transport/WSRequest.h"
#include "Platform/network/HttpConnection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvaneh {

class RunLoop;

// Request builder and connection of the office web services: Basic authorization, the
// multipart body of a job, the status texts and the unwrapping of the JSON answer.
//
// Held by shared_ptr (create()) by one transport; it serves one exchange at a time. The
// outcome goes to the delegate once: getDataRequest with the unwrapped answer of a 2xx
// status, or erreurRequest with a French text (status refusal, 404, server error, any other
// status that is not 2xx, the network layer's failure text, including a stall). The delegate is dropped
// afterwards. Only the connection started last reports; an earlier one is cancelled when a new one starts.
//
// Threads: start, cancel and destroy it on the run loop that receives its callbacks (the main
// run loop); the delegate is called there.
class WSCommunication : public std::enable_shared_from_this<WSCommunication> {
public:
    // Whoever receives the outcome (the transport that owns this object).
    struct Delegate {
        std::function<void(const std::string& text)> getDataRequest;
        std::function<void(const std::string& text)> erreurRequest;
    };
    // A body entry: name and value; an entry whose name equals its value is a file, named by
    // its full path.
    using Attachments = std::vector<std::pair<std::string, std::string>>;

    static constexpr const char* kBoundary = "--FrontiereBoundary";

    static std::shared_ptr<WSCommunication> create(Delegate delegate = {});
    explicit WSCommunication(Delegate delegate);
    ~WSCommunication();
    WSCommunication(const WSCommunication&) = delete;
    WSCommunication& operator=(const WSCommunication&) = delete;

    WSRequest& request() { return request_; }
    const WSRequest& request() const { return request_; }
    void setDelegate(Delegate delegate) { delegate_ = std::move(delegate); }

    // The request for request().url with the given method, the Authorization header, the
    // multipart Content-Type and request().body. The stall limit is the smaller of the request's
    // time-out and the stall limit of the settings; once the body is sent the office may take
    // the request's time-out to answer. A GET is bounded in all by the request's time-out; a
    // POST is not, so that a slow but moving upload completes.
    HttpConnection::Request buildHttpRequestWithAuthenticate(const std::string& login,
                                                             const std::string& password,
                                                             const std::string& method) const;
    // "Basic " + Base64 of the UTF-8 bytes of "login:password".
    static std::string getAuthenticateValue(const std::string& login, const std::string& password);
    // The multipart body: one part per entry in the given order, then the closing line. Files
    // are read whole; nothing when one of them cannot be read (logged).
    static std::optional<std::string> addAttachments(const Attachments& attachments);

    // POST of request().body; callbacks on the main run loop.
    void postRequestAsyncWithAuthenticate(const std::string& login, const std::string& password);
    // GET; callbacks on the calling thread's run loop.
    void httpRequestAsyncWithAuthenticate(const std::string& login, const std::string& password);
    // Stops the connection in flight and drops the delegate: nothing is reported afterwards.
    void cancel();
    // Reports `text` to the delegate's erreurRequest later, from the calling thread's run loop,
    // as a failed connection would (for a request that cannot even be started).
    void failLater(const std::string& text);

    // The answer's text: valid UTF-8 has `\"` → `"`, `\\` → `\`, `/\` → `/` applied, then its
    // first and last characters removed (the server wraps its object in a JSON string
    // literal); anything else is read as ISO Latin-1 and left as it is.
    static std::string getJSONstring(std::string_view bytes);
    // The failure of an answer whose "methodeStr" is `received` where `asked` was asked.
    static std::string unexpectedMethodText(const std::string& received, const std::string& asked);

private:
    WSRequest request_;
    Delegate delegate_;
    std::unique_ptr<HttpConnection> urlConnect_;
    std::uint64_t generation_ = 0; // of the current exchange
    bool inFlight_ = false;        // the current exchange has not reported yet

    void start(HttpConnection::Request request, RunLoop& loop);
    bool isCurrent(std::uint64_t generation) const { return inFlight_ && generation == generation_; }
    void didReceiveResponse(std::uint64_t generation, const HttpConnection::Response& response);
    void didReceiveData(std::uint64_t generation, const std::string& bytes);
    void didFailWithError(std::uint64_t generation, const NetworkError& error);
    void connectionDidFinishLoading(std::uint64_t generation);
    // Ends the current connection and hands the outcome to the delegate, dropped first.
    void finish(bool failed, const std::string& text);
};

} // namespace orvaneh
