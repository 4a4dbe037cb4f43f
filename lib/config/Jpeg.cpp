#include "Jpeg.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace tavro {

namespace {

constexpr uint64_t MaxPixels = uint64_t(64) << 20;
// Bounds the whole-image coefficient buffer of progressive and other multi-scan images, two
// bytes per sample: enough for three full-resolution components at the pixel cap. libjpeg
// fails an image that needs more instead of allocating it.
constexpr long MaxMemory = 384L << 20;

// The error manager jumps back to Decode instead of ending the process.
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
}

// Warnings about metadata leave the picture intact; the others mean coded data is missing
// or damaged, which libjpeg would paper over with grey blocks.
bool HarmlessWarning(int code) {
    return code == JWRN_EXTRANEOUS_DATA || code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM;
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && !HarmlessWarning(cinfo->err->msg_code))
        ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

// Only C objects live in this frame, so the long jump skips no destructor.
bool Decode(const unsigned char* data, unsigned long size) {
    jpeg_decompress_struct cinfo{};
    TJpegError error;
    cinfo.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = ErrorExit;
    error.Manager.emit_message = EmitMessage;
    error.Manager.output_message = OutputMessage;
    if (setjmp(error.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = MaxMemory;
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (uint64_t(cinfo.image_width) * cinfo.image_height > MaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Checking needs every sample decoded, not a pretty picture.
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * cinfo.output_components, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        // A memory source never suspends; a stalled decoder is a damaged image all the same.
        if (jpeg_read_scanlines(&cinfo, row, 1) == 0) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

bool IsDecodableJpeg(std::string_view data) {
    static_assert(sizeof(unsigned long) >= sizeof(size_t));
    if (data.empty())
        return false;
    return Decode(reinterpret_cast<const unsigned char*>(data.data()),
                  static_cast<unsigned long>(data.size()));
}

bool IsJpegData(std::string_view data) {
    return data.size() >= 4 && static_cast<uint8_t>(data[0]) == 0xFF &&
           static_cast<uint8_t>(data[1]) == 0xD8 && static_cast<uint8_t>(data[2]) == 0xFF;
}

} // namespace tavro
