#pragma once

#include <string_view>

namespace tavro {

// Whether libjpeg decodes `data` as a complete image: the header and every scanline. Images
// above 64 megapixels count as undecodable, so a crafted header cannot make the check
// allocate gigabytes (the decoder's memory is capped at 384 MB as well), and so do images
// whose coded data is cut short or corrupt.
bool IsDecodableJpeg(std::string_view data);

// Whether `data` is a JPEG file at all: it starts with the start-of-image marker and a
// marker segment. A photo that passes is kept byte for byte, even when it is too large to
// decode here or libjpeg only warns about it; it is decoded when it is shown.
bool IsJpegData(std::string_view data);

} // namespace tavro
