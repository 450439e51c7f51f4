#pragma once

#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <fstream>
#include <string>

namespace orvaneh::test {

// What xmllint says of the document: its exit status and messages. With an XPath
// expression, what it evaluates to (in `out`).
inline ProcessResult xmllint(const std::string& document, const std::string& xpath = "") {
    TemporaryDirectory directory;
    auto file = directory.path() / "job.XML";
    std::ofstream(file, std::ios::binary) << document;
    if (xpath.empty()) {
        return ProcessRunner::run({"/usr/bin/xmllint", "--noout", file.string()});
    }
    auto result = ProcessRunner::run({"/usr/bin/xmllint", "--xpath", xpath, file.string()});
    if (!result.out.empty() && result.out.back() == '\n') {
        result.out.pop_back(); // added by xmllint after the value
    }
    return result;
}

} // namespace orvaneh::test
