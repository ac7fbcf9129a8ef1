#include "draw/image_win.h"

#include <new>

#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "draw/raster.h"
#include "base/gdi_win.h"
#include "base/object_table.h"

namespace {

// Image sizes live in 16-bit fields.
constexpr int MAX_IMAGE_SIZE = 32767;

struct ImageRecord {
    HBITMAP handle = nullptr; // owned
    int16_t width = 0;
    int16_t height = 0;
    uint8_t bitsPerPixel = 0;
    uint8_t createdBitsPerPixel = 0;
    int frames = 0;
};

void releaseImage(int number);

ObjectTable<ImageRecord> g_images{16, &releaseImage};

void releaseImage(int number) {
    if (ImageRecord* r = g_images.find(number)) {
        if (GetObjectType(r->handle) == OBJ_BITMAP) {
            DeleteObject(r->handle);
        } else {
            DestroyIcon(reinterpret_cast<HICON>(r->handle));
        }
    }
    g_images.remove(number);
}

} // namespace

intptr_t ImgCreate(int number, int width, int height, int depth, uint32_t colour) {
    if (width < 1 || height < 1 || width > MAX_IMAGE_SIZE || height > MAX_IMAGE_SIZE) {
        return 0;
    }
    const bool noColour = colour == 0xFFFFFFFFu;
    uint32_t fill = colour;
    if (depth == 32) {
        fill = noColour ? 0 : (colour | 0xFF000000u);
    } else {
        depth = 24;
    }
    int assigned = 0;
    ImageRecord* record = g_images.allocate(number, &assigned);
    if (!record) {
        return 0;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(depth);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = nullptr;
    {
        MemoryDC dc;
        bitmap = CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    if (!bitmap) {
        g_images.remove(assigned);
        return 0;
    }
    BITMAP bm{};
    GetObjectW(bitmap, sizeof(bm), &bm);
    const int64_t pitch = draw::rowPitch(bm.bmWidth, bm.bmBitsPixel);
    if (depth == 32 && bits) {
        // Memory order blue, green, red, alpha: red and blue change places.
        const uint32_t pixel =
            (fill & 0xFF00FF00u) | ((fill & 0xFFu) << 16) | ((fill >> 16) & 0xFFu);
        for (int64_t row = 0; row < bm.bmHeight; ++row) {
            auto* p = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + row * pitch);
            for (int64_t x = 0; x < bm.bmWidth; ++x) {
                p[x] = pixel;
            }
        }
    } else if (!noColour) {
        // The alpha byte is no part of a GDI colour (GDI reads that byte
        // as palette flags), so only blue, green and red reach the brush.
        MemoryDC dc;
        ScopedSelect select(dc.get(), bitmap);
        GdiObject<HBRUSH> brush(CreateSolidBrush(fill & 0x00FFFFFFu));
        const RECT all{0, 0, width, height};
        FillRect(dc.get(), &all, brush.get());
    }
    record->handle = bitmap;
    record->width = static_cast<int16_t>(width);
    record->height = static_cast<int16_t>(height);
    record->bitsPerPixel = static_cast<uint8_t>(depth);
    record->createdBitsPerPixel = static_cast<uint8_t>(depth);
    record->frames = 1;
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(bitmap);
}

int ImgExists(int number) {
    return g_images.find(number) ? 1 : 0;
}

intptr_t ImgHandle(int number) {
    const ImageRecord* r = g_images.find(number);
    return r ? reinterpret_cast<intptr_t>(r->handle) : 0;
}

int ImgWidth(int number) {
    const ImageRecord* r = g_images.find(number);
    return r ? r->width : 0;
}

int ImgHeight(int number) {
    const ImageRecord* r = g_images.find(number);
    return r ? r->height : 0;
}

intptr_t ImgOutput(int number) {
    const ImageRecord* r = g_images.find(number);
    if (!r || GetObjectType(r->handle) != OBJ_BITMAP) {
        return 0;
    }
    DIBSECTION section{};
    if (GetObjectW(r->handle, sizeof(section), &section) != sizeof(section) ||
        !section.dsBm.bmBits) {
        return 0;
    }
    draw::Surface surface;
    surface.firstRow = static_cast<uint8_t*>(section.dsBm.bmBits);
    surface.pitch = section.dsBm.bmWidthBytes;
    surface.bytesPerPixel = r->bitsPerPixel == 32 ? 4 : 3;
    surface.bottomUp = true;
    surface.width = r->width;
    surface.height = r->height;
    return draw::makeBitmapOutput(surface, r->handle);
}

void ImgFree(int number) {
    if (number == -1) {
        g_images.releaseAll();
    } else if (g_images.find(number)) {
        releaseImage(number);
    }
}

namespace draw {

bool isTableImage(HBITMAP bitmap) {
    if (!bitmap) {
        return false;
    }
    try {
        for (int number : g_images.numbers()) {
            const ImageRecord* r = g_images.find(number);
            if (r && r->handle == bitmap) {
                return true;
            }
        }
    } catch (const std::bad_alloc&) {
        // Not known to be one: the caller takes the general way.
    }
    return false;
}

void imageStartup() {
    endCurrentContext();
}

void imageShutdown() {
    // A pass left open holds an image selected in its device context.
    endCurrentContext();
    ImgFree(-1);
}

void drawStartup() {
    fontStartup();
    imageStartup();
}

void drawShutdown() {
    imageShutdown();
    fontShutdown();
}

} // namespace draw
