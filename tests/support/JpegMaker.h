#pragma once

#include <string>

namespace tavro::test {

// A JPEG file made in memory by libjpeg: a gradient of `width` x `height` pixels with one
// (grey) or three (colour) components, baseline or progressive.
std::string MakeJpeg(int width, int height, int components = 3, bool progressive = false);

} // namespace tavro::test
