#pragma once

#include <cstdint>

namespace orvaneh {

// The root of the running system: decides the order of start-up and carries the values the
// dictation list hands to the recorder. One per process, used on the main thread.
class OrvanehAppDelegate {
public:
    // The start-up steps that need no screen, in order: the connection-tracking keys, then
    // the legacy settings migration and the label defaults. The command line runs only these.
    void startCore();

    // "connectionType" := -1, "connectionLastDate" := 1970-01-01 00:16:40 UTC,
    // "connectionSucceedLastTime" := false.
    static void initInformationConnectionFTP();

    // Hand-over to the recorder: true to start a new dictation, false to open idDictee.
    bool record() const { return record_; }
    void setRecord(bool record) { record_ = record; }
    std::int64_t idDictee() const { return idDictee_; }
    void setIdDictee(std::int64_t idDictee) { idDictee_ = idDictee; }

private:
    bool record_ = false;
    std::int64_t idDictee_ = 0;
};

} // namespace orvaneh
