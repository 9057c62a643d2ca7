#include "platform/canvas/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace platform {

namespace {

// libjpeg's default error handler ends the process; ours jumps back to the decoder with the
// library's message.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void Quiet(j_common_ptr /*info*/, int /*level*/) {}

// Pictures larger than this are refused before any memory is taken for them.
constexpr unsigned long MaxPixels = 64ul * 1024 * 1024;

// C-style on purpose: the error jump must cross no object with a destructor. The pixels go
// into a vector that the caller owns, so a jump leaves nothing behind but what libjpeg frees.
bool DecodeRgb(const uint8_t* data, unsigned long size, std::vector<uint8_t>& rgb, int& width,
               int& height, char* message) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnError;
    errors.pub.emit_message = Quiet; // a recoverable warning leaves the picture usable
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (static_cast<unsigned long>(info.output_width) * info.output_height > MaxPixels) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "picture too large");
        return false;
    }
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    const size_t stride = static_cast<size_t>(width) * 3;
    rgb.assign(stride * static_cast<size_t>(height), 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(std::span<const uint8_t> data) {
    if (data.empty()) throw JpegError("JPEG: no data");
    std::vector<uint8_t> rgb;
    int width = 0;
    int height = 0;
    char message[JMSG_LENGTH_MAX] = {};
    if (!DecodeRgb(data.data(), static_cast<unsigned long>(data.size()), rgb, width, height,
                   message))
        throw JpegError(std::string("JPEG: ") + message);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3) out[x] = qRgb(in[0], in[1], in[2]);
    }
    return image;
}

} // namespace platform
