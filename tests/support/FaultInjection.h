#pragma once

#include "support/ProcessRunner.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvaneh::test {

// What the file-system fault injector (tests/support/faultfs) does at one operation on the
// profile: nothing (it only counts), kill the process just before it, or fail it with a full
// disk from then on, or with one read-write error.
struct Fault {
    enum class Kind { None, Kill, NoSpace, InputOutput };
    Kind kind = Kind::None;
    long at = 0; // the operation's number, from 1

    std::string mode() const {
        switch (kind) {
        case Kind::Kill:
            return "kill";
        case Kind::NoSpace:
            return "enospc";
        case Kind::InputOutput:
            return "eio";
        case Kind::None:
            break;
        }
        return "count";
    }
    std::string describe() const { return mode() + " à l'opération " + std::to_string(at); }
};

struct FaultyResult {
    ProcessResult result;
    long operations = -1; // those seen, when the process ended by itself
    // The numbers of the renames and removals seen: the steps that commit or clean up.
    std::vector<long> moves;
    bool killed() const { return result.status == -1; }
};

// The real orvaneh-cli on the profile at `home` with the injector loaded, watching every file
// the profile holds. For test programs only: ORVANEH_CLI_PATH and ORVANEH_FAULTFS_PATH are theirs.
inline FaultyResult runCliWithFault(const std::filesystem::path& home, std::vector<std::string> arguments,
                                    const Fault& fault) {
    arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home.string()});
    const std::filesystem::path counted = home.string() + ".operations";
    const std::filesystem::path traced = home.string() + ".trace";
    std::filesystem::remove(counted);
    std::filesystem::remove(traced);
    // The sanitizers' runtime wants to come first; the injector must, to see the program's calls.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    std::string asanOptions = sanitizer != nullptr && *sanitizer != '\0' ? std::string(sanitizer) + ":" : "";
    asanOptions += "verify_asan_link_order=0";
    FaultyResult run;
    run.result = ProcessRunner::run(arguments, {{"LD_PRELOAD", ORVANEH_FAULTFS_PATH},
                                                {"ASAN_OPTIONS", asanOptions},
                                                {"ORVANEH_FAULTFS_DIR", home.string()},
                                                {"ORVANEH_FAULTFS_AT", std::to_string(fault.at)},
                                                {"ORVANEH_FAULTFS_MODE", fault.mode()},
                                                {"ORVANEH_FAULTFS_COUNT_FILE", counted.string()},
                                                {"ORVANEH_FAULTFS_TRACE_FILE", traced.string()}});
    std::ifstream count(counted);
    count >> run.operations;
    std::ifstream trace(traced);
    long number = 0;
    std::string operation;
    std::string file;
    while (trace >> number >> operation && std::getline(trace, file)) {
        if (operation.starts_with("rename") || operation.starts_with("unlink") || operation == "remove") {
            run.moves.push_back(number);
        }
    }
    std::filesystem::remove(counted);
    std::filesystem::remove(traced);
    return run;
}

// About `wanted` operation numbers spread evenly over 1..`count`, the last one included, and
// every one of `also`.
inline std::vector<long> spreadPoints(long count, long wanted, const std::vector<long>& also = {}) {
    std::vector<long> points;
    if (count <= 0 || wanted <= 0) {
        return points;
    }
    const long stride = std::max(1L, count / wanted);
    for (long at = count; at >= 1; at -= stride) {
        points.insert(points.begin(), at);
    }
    points.insert(points.end(), also.begin(), also.end());
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

} // namespace orvaneh::test
