#pragma once
// The certificate's background picture "CERTIF_IMG": a baseline JFIF JPEG of 630 x 891 pixels
// at 72 dots per inch, embedded in the program.

#include <cstdint>
#include <span>

std::span<const uint8_t> CertifImgResource();
