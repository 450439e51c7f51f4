#pragma once

// For the JPEG code of this folder only: it needs libjpeg's headers.
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <string>

namespace orvaneh {

// libjpeg's error handling made safe for a library: its default handler ends the process. An
// error jumps back to the setjmp on `jump` instead, and the reason is kept. A file that ends
// early (which libjpeg only warns about, filling the rest with grey) and a stream with an
// absurd number of scans (hours of work for a few kilobytes) are errors too.
//
// Only C frames (libjpeg's) lie between the setjmp and the jump: the functions calling setjmp
// keep their C++ objects in a structure owned by their caller.
class JpegErrorManager {
public:
    // The scans of a progressive image; real encoders write about ten.
    static constexpr int kMaxScans = 500;

    // Installs the handlers on `info` (before jpeg_create_*); it uses info.client_data.
    void attach(jpeg_common_struct& info);

    std::jmp_buf jump;

    // Why it stopped, in French.
    std::string reason(const char* format) const;
    bool truncated() const { return truncated_; }

private:
    static void errorExit(j_common_ptr info);
    static void emitMessage(j_common_ptr info, int level);
    static void outputMessage(j_common_ptr info);
    static void progress(j_common_ptr info);

    jpeg_error_mgr errors_{};
    jpeg_progress_mgr progress_{};
    char message_[JMSG_LENGTH_MAX] = {};
    bool truncated_ = false;
    bool tooManyScans_ = false;
};

} // namespace orvaneh
