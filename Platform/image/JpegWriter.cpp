#include "Platform/image/JpegWriter.h"

#include "Platform/image/JpegErrorManager.h"

#include <algorithm>
#include <cstdlib>

namespace orvaneh {

namespace {

// Everything the encoding keeps, in the caller's frame (see JpegErrorManager).
struct Encoding {
    jpeg_compress_struct info{};
    JpegErrorManager errors;
    unsigned char* buffer = nullptr; // grown by libjpeg with malloc
    unsigned long size = 0;
    std::string error;
};

// Out of run(): a string built in the frame that calls setjmp may be clobbered by the jump.
[[gnu::noinline]] void noteFailure(Encoding& e) {
    jpeg_destroy_compress(&e.info);
    e.error = e.errors.reason("JPEG");
}

bool run(Encoding& e, const RgbImage& image, int quality) {
    e.errors.attach(*reinterpret_cast<jpeg_common_struct*>(&e.info));
    if (setjmp(e.errors.jump) != 0) {
        noteFailure(e);
        return false;
    }
    jpeg_create_compress(&e.info);
    jpeg_mem_dest(&e.info, &e.buffer, &e.size);
    e.info.image_width = static_cast<JDIMENSION>(image.width());
    e.info.image_height = static_cast<JDIMENSION>(image.height());
    e.info.input_components = 3;
    e.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality, TRUE);
    e.info.optimize_coding = TRUE;
    jpeg_start_compress(&e.info, TRUE);
    while (e.info.next_scanline < e.info.image_height) {
        // libjpeg does not write through the row pointer.
        JSAMPROW row = const_cast<JSAMPLE*>(image.pixel(0, static_cast<int>(e.info.next_scanline)));
        jpeg_write_scanlines(&e.info, &row, 1);
    }
    jpeg_finish_compress(&e.info);
    jpeg_destroy_compress(&e.info);
    return true;
}

} // namespace

std::optional<std::string> JpegWriter::encode(const RgbImage& image, int quality, std::string* error) {
    if (image.empty()) {
        if (error != nullptr) {
            *error = "l'image à enregistrer est vide";
        }
        return std::nullopt;
    }
    Encoding encoding;
    const bool done = run(encoding, image, std::clamp(quality, 1, 100));
    std::optional<std::string> bytes;
    if (done) {
        bytes.emplace(reinterpret_cast<const char*>(encoding.buffer), encoding.size);
    } else if (error != nullptr) {
        *error = encoding.error;
    }
    std::free(encoding.buffer);
    return bytes;
}

} // namespace orvaneh
