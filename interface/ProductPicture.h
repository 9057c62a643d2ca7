#pragma once
// The product picture of the About box, embedded in the program as the bytes of its PNG file
// (interface/pictures/Product.png; the build turns it into ProductPicture.cpp).

#include <span>

std::span<const unsigned char> ProductPictureBytes();
