#include "JpegMaker.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace tavro::test {

std::string MakeJpeg(int width, int height, int components, bool progressive) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    // One row repeated: cheap to make even for the very large images of the size checks.
    std::vector<JSAMPLE> row(size_t(width) * size_t(components));
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<JSAMPLE>(i * 7);
    JSAMPROW rows[] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string jpeg(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return jpeg;
}

} // namespace tavro::test
