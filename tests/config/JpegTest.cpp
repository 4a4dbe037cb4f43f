#include "config/Jpeg.h"

#include "JpegMaker.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::MakeJpeg;

namespace {

// The offset of the first marker `code` (0xFFcc) in a JPEG file.
size_t FindMarker(const std::string& jpeg, unsigned char code) {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && static_cast<unsigned char>(jpeg[i + 1]) == code)
            return i;
    return std::string::npos;
}

// Overwrites the height and width of the frame header (SOF0 or SOF2).
std::string WithSize(std::string jpeg, unsigned height, unsigned width) {
    size_t sof = FindMarker(jpeg, 0xC0);
    if (sof == std::string::npos)
        sof = FindMarker(jpeg, 0xC2);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width);
    return jpeg;
}

} // namespace

TEST(Jpeg, DecodesCompleteImages) {
    EXPECT_TRUE(IsDecodableJpeg(MakeJpeg(16, 16, 3)));
    EXPECT_TRUE(IsDecodableJpeg(MakeJpeg(1, 1, 1)));
    EXPECT_TRUE(IsDecodableJpeg(MakeJpeg(33, 17, 3, true)));
    // Bytes after the end-of-image marker are never read.
    EXPECT_TRUE(IsDecodableJpeg(MakeJpeg(16, 16) + "trailing"));
}

TEST(Jpeg, RefusesWhatIsNotACompleteImage) {
    const std::string jpeg = MakeJpeg(64, 64, 3);
    const std::string progressive = MakeJpeg(64, 64, 3, true);
    const size_t scan = FindMarker(jpeg, 0xDA);
    ASSERT_NE(scan, std::string::npos);
    const struct {
        const char* what;
        std::string data;
    } cases[] = {
        {"empty", ""},
        {"not a JPEG", "GIF89a and then some bytes"},
        {"only the start marker", jpeg.substr(0, 2)},
        {"tables without a scan", jpeg.substr(0, scan)},
        {"cut inside the scan", jpeg.substr(0, scan + (jpeg.size() - scan) / 2)},
        {"progressive cut after its first scans", progressive.substr(0, progressive.size() / 2)},
        {"a frame larger than its data", WithSize(jpeg, 4000, 4000)},
        {"a zero width", WithSize(jpeg, 64, 0)},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(IsDecodableJpeg(c.data)) << c.what;
}

TEST(Jpeg, RefusesImagesAboveTheSizeCap) {
    // Complete images at and just above 64 megapixels: libjpeg decodes both, the check only
    // the first.
    EXPECT_TRUE(IsDecodableJpeg(MakeJpeg(8192, 8192, 1)));
    EXPECT_FALSE(IsDecodableJpeg(MakeJpeg(8193, 8192, 1)));
    // The largest header possible is refused before anything is allocated.
    EXPECT_FALSE(IsDecodableJpeg(WithSize(MakeJpeg(8, 8, 1), 65500, 65500)));
}
