#pragma once

#include <string_view>

namespace tavro {

// Whether libjpeg decodes `data` as a complete image: the header and every scanline. Images
// above 64 megapixels count as undecodable, so a crafted header cannot make the check
// allocate gigabytes (the decoder's memory is capped at 384 MB as well), and so do images
// whose coded data is cut short or corrupt.
bool IsDecodableJpeg(std::string_view data);

} // namespace tavro
