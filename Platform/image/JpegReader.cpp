#include "Platform/image/JpegReader.h"

#include "Platform/image/JpegErrorManager.h"

#include <vector>

namespace orvaneh {

namespace {

// Everything the decoding keeps, in the caller's frame: no C++ object lives in the frame that
// a libjpeg error jumps out of.
struct Decoding {
    jpeg_decompress_struct info{};
    JpegErrorManager errors;
    bool headerOnly = false;
    ImageFile::Decoded decoded;
    ImageFile::Size size;
    std::vector<JSAMPLE> row;
};

void cmykRowToRgb(const JSAMPLE* cmyk, std::uint8_t* rgb, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        // Adobe's files store the inks inverted (255 means no ink).
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int channel = 0; channel < 3; ++channel) {
            const unsigned c = inverted ? cmyk[channel] : 255u - cmyk[channel];
            rgb[channel] = static_cast<std::uint8_t>((c * k + 127) / 255);
        }
    }
}

// Out of run(): strings built in the frame that calls setjmp may be clobbered by the jump.
[[gnu::noinline]] void noteFailure(Decoding& d) {
    jpeg_destroy_decompress(&d.info);
    d.decoded.error = d.size.error = d.errors.reason("JPEG");
}

[[gnu::noinline]] void noteSize(Decoding& d) {
    d.size.width = static_cast<int>(d.info.image_width);
    d.size.height = static_cast<int>(d.info.image_height);
    d.size.error = ImageFile::dimensionProblem(d.info.image_width, d.info.image_height);
    if (d.headerOnly || !d.size.ok()) {
        d.decoded.error = d.size.error;
    }
}

[[gnu::noinline]] void makeImage(Decoding& d) {
    d.decoded.image = RgbImage(static_cast<int>(d.info.output_width), static_cast<int>(d.info.output_height));
}

bool run(Decoding& d, std::string_view bytes) {
    d.errors.attach(*reinterpret_cast<jpeg_common_struct*>(&d.info));
    if (setjmp(d.errors.jump) != 0) {
        noteFailure(d);
        return false;
    }
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d.info, TRUE);
    noteSize(d);
    if (d.headerOnly || !d.size.ok()) {
        jpeg_destroy_decompress(&d.info);
        return d.size.ok();
    }
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&d.info);
    const JDIMENSION width = d.info.output_width;
    makeImage(d);
    if (cmyk) {
        d.row.resize(static_cast<std::size_t>(width) * 4);
    }
    while (d.info.output_scanline < d.info.output_height) {
        auto* target = d.decoded.image.pixel(0, static_cast<int>(d.info.output_scanline));
        JSAMPROW row = cmyk ? d.row.data() : target;
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1) {
            break; // cannot happen with a memory source: an early end is an error
        }
        if (cmyk) {
            cmykRowToRgb(d.row.data(), target, width, d.info.saw_Adobe_marker != 0);
        }
    }
    jpeg_finish_decompress(&d.info);
    jpeg_destroy_decompress(&d.info);
    return true;
}

} // namespace

ImageFile::Decoded JpegReader::decode(std::string_view bytes) {
    Decoding decoding;
    if (!run(decoding, bytes)) {
        decoding.decoded.image = RgbImage();
    }
    return std::move(decoding.decoded);
}

ImageFile::Size JpegReader::decodeSize(std::string_view bytes) {
    Decoding decoding;
    decoding.headerOnly = true;
    run(decoding, bytes);
    return std::move(decoding.size);
}

} // namespace orvaneh
