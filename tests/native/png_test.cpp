#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "host/png.h"

// Read back with stb's decoder: independent of the writer's own code paths.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The file at `path`, or without one a fresh temporary file.
File open(const char* path = nullptr, const char* mode = nullptr) {
    return File(path ? std::fopen(path, mode) : std::tmpfile(), &std::fclose);
}

std::vector<uint8_t> contents(std::FILE* f) {
    std::vector<uint8_t> bytes;
    std::rewind(f);
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

bool decode(const std::vector<uint8_t>& file, Image* out) {
    int channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &out->width,
                                         &out->height, &channels, 3);
    if (!rgb) {
        return false;
    }
    out->rgb.assign(rgb, rgb + static_cast<size_t>(out->width) * out->height * 3);
    stbi_image_free(rgb);
    return true;
}

const uint8_t kRed[3] = {255, 0, 0};
const uint8_t kBlue[3] = {0, 0, 255};

// A red "F" on blue, 6 x 5: upside down, mirrored or with red and blue
// swapped it reads differently.
Image letterF() {
    const char* rows[] = {
        ".####.", //
        ".#....", //
        ".###..", //
        ".#....", //
        ".#....", //
    };
    Image image{6, 5, {}};
    for (const char* row : rows) {
        for (int x = 0; x < 6; ++x) {
            const uint8_t* c = row[x] == '#' ? kRed : kBlue;
            image.rgb.insert(image.rgb.end(), c, c + 3);
        }
    }
    return image;
}

Image flat(int w, int h, uint8_t value) {
    return {w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3, value)};
}

TEST(Png, WritesExactlyThePixelsGiven) {
    struct Case {
        const char* what;
        Image image;
        size_t maxBytes; // flat screenshots must come out compressed
    };
    const Case cases[] = {
        {"letter F", letterF(), 1000},
        {"one pixel", {1, 1, {1, 2, 3}}, 1000},
        {"flat 800 x 600", flat(800, 600, 255), 20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = open();
        ASSERT_TRUE(f);
        ASSERT_TRUE(writePng(f.get(), c.image.width, c.image.height, c.image.rgb));
        const std::vector<uint8_t> file = contents(f.get());
        EXPECT_LE(file.size(), c.maxBytes);
        Image back;
        ASSERT_TRUE(decode(file, &back)) << stbi_failure_reason();
        EXPECT_EQ(back.width, c.image.width);
        EXPECT_EQ(back.height, c.image.height);
        EXPECT_EQ(back.rgb, c.image.rgb);
    }
}

TEST(Png, FailsWhenPixelsDoNotFitOrTheFileRefusesBytes) {
    const Image f = letterF();
    struct Case {
        const char* what;
        const char* path; // null: a fresh temporary file
        const char* mode;
        int width, height;
        std::vector<uint8_t> rgb;
    };
    const Case cases[] = {
        {"a pixel short", nullptr, nullptr, 6, 5, {f.rgb.begin(), f.rgb.end() - 3}},
        {"a row too many", nullptr, nullptr, 6, 4, f.rgb},
        {"no width", nullptr, nullptr, 0, 5, {}},
        {"negative height", nullptr, nullptr, 6, -5, f.rgb},
        {"stream opened for reading", CANVAS_SOURCE_DIR "/res/icon.png", "rb", 6, 5, f.rgb},
        {"device full", "/dev/full", "wb", 6, 5, f.rgb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File file = open(c.path, c.mode);
        ASSERT_TRUE(file);
        EXPECT_FALSE(writePng(file.get(), c.width, c.height, c.rgb));
        if (!c.path) {
            EXPECT_TRUE(contents(file.get()).empty()) << "nothing is written";
        }
    }
}

TEST(Png, TheCommittedIconIsTheDrawnOne) {
    File f = open(CANVAS_SOURCE_DIR "/res/icon.png", "rb");
    ASSERT_TRUE(f);
    Image icon;
    ASSERT_TRUE(decode(contents(f.get()), &icon));
    EXPECT_EQ(icon.width, 256);
    EXPECT_EQ(icon.height, 256);
    const uint8_t screen[3] = {17, 40, 79}; // the dark blue screen at the centre
    EXPECT_EQ(0, std::memcmp(&icon.rgb[(128u * 256 + 128) * 3], screen, 3));
}

} // namespace
