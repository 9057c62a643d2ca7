#pragma once
// JPEG pictures through libjpeg itself.

#include <QImage>

#include <cstdint>
#include <span>
#include <stdexcept>

namespace platform {

class JpegError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decodes a JPEG picture (baseline or progressive, grey or colour) into an RGB32 image.
// Raises JpegError, with libjpeg's own text, for data that is not a picture it can read.
QImage DecodeJpeg(std::span<const uint8_t> data);

} // namespace platform
