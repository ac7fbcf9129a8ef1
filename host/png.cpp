#include "host/png.h"

#include <climits>

// The encoder is stb's, private to this file; the file is written through a
// callback so that the caller decides how it is opened (wide paths on Windows).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

struct Sink {
    std::FILE* file;
    bool ok;
};

void put(void* context, void* data, int size) {
    auto* sink = static_cast<Sink*>(context);
    const size_t n = static_cast<size_t>(size);
    if (sink->ok && std::fwrite(data, 1, n, sink->file) != n) {
        sink->ok = false;
    }
}

} // namespace

bool writePng(std::FILE* file, int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || width > INT_MAX / 3) {
        return false;
    }
    const size_t row = static_cast<size_t>(width) * 3;
    if (rgb.size() % row != 0 || rgb.size() / row != static_cast<size_t>(height)) {
        return false;
    }
    Sink sink{file, true};
    if (!stbi_write_png_to_func(&put, &sink, width, height, 3, rgb.data(), width * 3)) {
        return false;
    }
    return sink.ok && std::fflush(file) == 0;
}
