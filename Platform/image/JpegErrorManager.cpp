#include "Platform/image/JpegErrorManager.h"

#include <jerror.h>

namespace orvaneh {

namespace {

JpegErrorManager& managerOf(j_common_ptr info) {
    return *static_cast<JpegErrorManager*>(info->client_data);
}

} // namespace

void JpegErrorManager::attach(jpeg_common_struct& info) {
    // jpeg_create_* keeps client_data and err.
    info.client_data = this;
    info.err = jpeg_std_error(&errors_);
    errors_.error_exit = &JpegErrorManager::errorExit;
    errors_.emit_message = &JpegErrorManager::emitMessage;
    errors_.output_message = &JpegErrorManager::outputMessage;
    progress_.progress_monitor = &JpegErrorManager::progress;
    info.progress = &progress_;
    message_[0] = '\0';
    truncated_ = false;
    tooManyScans_ = false;
}

void JpegErrorManager::errorExit(j_common_ptr info) {
    auto& manager = managerOf(info);
    (*info->err->format_message)(info, manager.message_);
    std::longjmp(manager.jump, 1);
}

void JpegErrorManager::emitMessage(j_common_ptr info, int level) {
    // Negative levels are warnings about damaged data; the others are traces.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        managerOf(info).truncated_ = true;
        errorExit(info);
    }
}

void JpegErrorManager::outputMessage(j_common_ptr) {
    // Nothing goes to stderr: the reason is given to the caller.
}

void JpegErrorManager::progress(j_common_ptr info) {
    if (info->is_decompressor) {
        auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
        if (decompress->input_scan_number > kMaxScans) {
            auto& manager = managerOf(info);
            manager.tooManyScans_ = true;
            std::longjmp(manager.jump, 1);
        }
    }
}

std::string JpegErrorManager::reason(const char* format) const {
    const std::string kind = format;
    if (truncated_) {
        return "le fichier " + kind + " est tronqué";
    }
    if (tooManyScans_) {
        return "le fichier " + kind + " compte plus de " + std::to_string(kMaxScans) + " passes";
    }
    return "le fichier " + kind + " est endommagé (" + std::string(message_) + ")";
}

} // namespace orvaneh
