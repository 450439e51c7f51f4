#pragma once

#include "Platform/json/Json.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// The answer of an office web service: a JSON object with "methodeStr", "resultStr" and
// "reasonStr", and the row id of the dictation it concerns. A plain value.
class WSResult {
public:
    Json dico = Json::object();
    std::int32_t idDict = 0;

    // "" when absent or not text.
    std::string getMethodName() const;
    void setMethodName(const std::string& name);
    // The result: text, or another JSON value (a list of directories); null when absent.
    const Json& getResult() const;
    // The result as text ("" when it is not text).
    std::string getResultText() const;
    void setResult(const Json& result);
    // "" when absent or not text.
    std::string getReason() const;
    // True when the result carries no dictionary at all (an answer that was not an object).
    bool isEmpty() const { return dico.empty(); }
};

// What asks a web service and wants the outcome: the send queue for posts, the site list for
// fetches. Called on the main run loop.
class WSResultDelegate {
public:
    virtual ~WSResultDelegate() = default;
    virtual void requestDidFinish(const WSResult& result) = 0;
    virtual void errorRequest(const WSResult& result) = 0;
    // The raw bytes of an answer that was not JSON, for a delegate that wants them.
    virtual void data(const std::string& bytes) { (void)bytes; }
};

} // namespace orvaneh
