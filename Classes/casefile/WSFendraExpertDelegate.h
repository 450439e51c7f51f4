#pragma once

#include <string>

namespace orvaneh {

// What a WSFendraExpert tells the screen that asked: the answer's bytes, or why there is none,
// and how far the answer has come.
class WSFendraExpertDelegate {
public:
    virtual ~WSFendraExpertDelegate() = default;
    // The answer's bytes as received (a re-login on the way is not seen).
    virtual void getDataRequest(const std::string& bytes) = 0;
    // The request ended without an answer; `text` says why, in French.
    virtual void erreurRequest(const std::string& text) = 0;
    // From 0 to 1, when the server declared the answer's length.
    virtual void progressBar(double fraction) { (void)fraction; }
};

} // namespace orvaneh
