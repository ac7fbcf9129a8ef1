#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host/png.h"

namespace {

// An asymmetric image: a flipped row order or a swapped channel shows at once.
std::vector<uint8_t> sample(int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x * 7);
            p[1] = static_cast<uint8_t>(y < h / 2 ? 200 : 10);
            p[2] = static_cast<uint8_t>((x + y) % 3 == 0 ? 255 : 0);
        }
    }
    return rgb;
}

TEST(Png, RoundTripsThroughItsOwnDecoder) {
    const int sizes[][2] = {{1, 1}, {6, 5}, {300, 17}, {64, 400}};
    for (auto& s : sizes) {
        std::vector<uint8_t> rgb = sample(s[0], s[1]);
        std::vector<uint8_t> file = encodePng(s[0], s[1], rgb);
        int w = 0, h = 0;
        std::vector<uint8_t> back;
        ASSERT_TRUE(decodePng(file, &w, &h, &back));
        EXPECT_EQ(w, s[0]);
        EXPECT_EQ(h, s[1]);
        EXPECT_EQ(back, rgb);
    }
}

TEST(Png, FlatImagesCompress) {
    std::vector<uint8_t> white(800u * 600 * 3, 255);
    EXPECT_LT(encodePng(800, 600, white).size(), 20000u);
}

TEST(Png, DecodesTheCommittedIconFromAnotherEncoder) {
    std::ifstream in(CANVAS_SOURCE_DIR "/res/icon.png", std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(decodePng(file, &w, &h, &rgb));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);
    const uint8_t* centre = &rgb[(128u * 256 + 128) * 3];
    EXPECT_EQ(centre[0], 17);
    EXPECT_EQ(centre[1], 40);
    EXPECT_EQ(centre[2], 79);
}

TEST(Png, RejectsGarbage) {
    int w, h;
    std::vector<uint8_t> rgb;
    EXPECT_FALSE(decodePng({1, 2, 3}, &w, &h, &rgb));
    std::vector<uint8_t> file = encodePng(4, 4, sample(4, 4));
    file.resize(file.size() / 2);
    EXPECT_FALSE(decodePng(file, &w, &h, &rgb));
}

} // namespace
