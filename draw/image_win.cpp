#include "draw/image_win.h"

#include <algorithm>
#include <utility>

#include "draw/drawpass_win.h"
#include "draw/raster.h"
#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "base/handle_win.h"
#include "base/no_destroy.h"
#include "base/object_table.h"

namespace {

// Image sizes live in 16-bit fields.
constexpr int IMG_MAX_SIZE = 32767;
// The colour that asks for no fill.
constexpr uint32_t IMG_NO_COLOUR = 0xFFFFFFFFu;
constexpr uint32_t IMG_OPAQUE_ALPHA = 0xFF000000u;
// Fixed numbers grow the table by this many slots at a time.
constexpr int IMG_TABLE_GROWTH = 16;

struct ImageRecord {
    DibSection handle; // the image's pixels, bottom-up rows
    int16_t width = 0;
    int16_t height = 0;
    uint8_t bitsPerPixel = 0;
    // What the drawing passes changed since `copyHolder` (a picture
    // control's copy; not owned, only compared) last took a copy.
    draw::Changes changes;
    const void* copyHolder = nullptr;
    // Every pixel has alpha 255: a 32-bit image made with a colour, on
    // which no drawing pass has let GDI draw since.
    bool opaque = false;
};

void releaseImage(int number);

NoDestroy<ObjectTable<ImageRecord>> g_images{
    [] { return ObjectTable<ImageRecord>(IMG_TABLE_GROWTH, &releaseImage); }};

void releaseImage(int number) {
    g_images->remove(number); // the record's section goes with it
}

} // namespace

intptr_t ImgCreate(int number, int width, int height, int depth, uint32_t colour) {
    if (width < 1 || height < 1 || width > IMG_MAX_SIZE || height > IMG_MAX_SIZE) {
        return 0;
    }
    const bool noColour = colour == IMG_NO_COLOUR;
    uint32_t fill = colour;
    if (depth == 32) {
        fill = noColour ? 0 : (colour | IMG_OPAQUE_ALPHA);
    } else {
        depth = 24;
    }
    int assigned = 0;
    ImageRecord* record = g_images->allocate(number, &assigned);
    if (!record) {
        return 0;
    }
    DibSection section;
    {
        MemoryDC dc;
        section = DibSection(dc.get(), width, height, depth, RowOrder::BottomUp);
    }
    if (!section) {
        g_images->remove(assigned);
        return 0;
    }
    if (depth == 32) {
        // Memory order blue, green, red, alpha: red and blue change places.
        const uint32_t pixel =
            (fill & 0xFF00FF00u) | ((fill & 0xFFu) << 16) | ((fill >> 16) & 0xFFu);
        const int64_t pitch = draw::rowPitch(width, depth);
        for (int64_t row = 0; row < height; ++row) {
            auto* p = reinterpret_cast<uint32_t*>(section.bits() + row * pitch);
            for (int64_t x = 0; x < width; ++x) {
                p[x] = pixel;
            }
        }
    } else if (!noColour) {
        // The alpha byte is no part of a GDI colour (GDI reads that byte
        // as palette flags), so only blue, green and red reach the brush.
        MemoryDC dc;
        ScopedSelect select(dc.get(), section.get());
        GdiObject<HBRUSH> brush(CreateSolidBrush(fill & 0x00FFFFFFu));
        const RECT all{0, 0, width, height};
        FillRect(dc.get(), &all, brush.get());
    }
    const HBITMAP bitmap = section.get();
    record->handle = std::move(section);
    record->width = static_cast<int16_t>(width);
    record->height = static_cast<int16_t>(height);
    record->bitsPerPixel = static_cast<uint8_t>(depth);
    record->opaque = depth == 32 && !noColour;
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(bitmap);
}

int ImgExists(int number) {
    return g_images->find(number) ? 1 : 0;
}

intptr_t ImgHandle(int number) {
    const ImageRecord* r = g_images->find(number);
    return r ? reinterpret_cast<intptr_t>(r->handle.get()) : 0;
}

int ImgWidth(int number) {
    const ImageRecord* r = g_images->find(number);
    return r ? r->width : 0;
}

int ImgHeight(int number) {
    const ImageRecord* r = g_images->find(number);
    return r ? r->height : 0;
}

intptr_t ImgOutput(int number) {
    const ImageRecord* r = g_images->find(number);
    if (!r) {
        return 0;
    }
    draw::Surface surface;
    surface.firstRow = r->handle.bits();
    surface.bytesPerPixel = r->bitsPerPixel / 8;
    surface.pitch = static_cast<ptrdiff_t>(draw::rowPitch(r->width, r->bitsPerPixel));
    surface.bottomUp = true;
    surface.width = r->width;
    surface.height = r->height;
    return draw::makeBitmapOutput(surface, r->handle.get(), r->opaque);
}

void ImgFree(int number) {
    if (number == -1) {
        g_images->releaseAll();
    } else if (g_images->find(number)) {
        releaseImage(number);
    }
}

namespace {

// The record whose section is `bitmap`, or null. It allocates nothing, so
// a pass's changes cannot be lost to a failed allocation.
ImageRecord* recordOf(HBITMAP bitmap) {
    if (!bitmap) {
        return nullptr;
    }
    return g_images->findIf([bitmap](const ImageRecord& r) { return r.handle.get() == bitmap; });
}

} // namespace

namespace draw {

bool isTableImage(HBITMAP bitmap) {
    return recordOf(bitmap) != nullptr;
}

HBITMAP bitmapFromLow32(uint32_t low32) {
    const ImageRecord* r = g_images->findIf([low32](const ImageRecord& record) {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record.handle.get())) == low32;
    });
    return r ? r->handle.get() : handleFromLow32<HBITMAP>(low32);
}

void addImageChanges(HBITMAP bitmap, const Changes& changed, bool opaque) {
    ImageRecord* r = recordOf(bitmap);
    if (!r) {
        return;
    }
    r->opaque = opaque;
    const PixelRect& c = changed.rect;
    const PixelRect inside{std::max<int64_t>(c.left, 0), std::max<int64_t>(c.top, 0),
                           std::min<int64_t>(c.right, r->width),
                           std::min<int64_t>(c.bottom, r->height)};
    r->changes = r->changes.then(Changes{changed.filled, inside.empty() ? PixelRect{} : inside});
}

ImageChanges takeImageChanges(HBITMAP bitmap, const void* holder, Changes* changed) {
    ImageRecord* r = recordOf(bitmap);
    if (!r) {
        return ImageChanges::NotInTable;
    }
    bool opaque = false;
    const Changes open = openPassChanges(bitmap, &opaque);
    if (open.filled || !open.rect.empty()) {
        addImageChanges(bitmap, open, opaque);
    }
    const bool known = holder && r->copyHolder == holder;
    *changed = r->changes;
    r->changes = Changes{};
    r->copyHolder = holder;
    // After a fill the image is that colour but for the rectangle, whatever
    // any copy held before.
    if (changed->filled) {
        return ImageChanges::Filled;
    }
    return known ? ImageChanges::SinceLast : ImageChanges::All;
}

void imageStartup() {
    endCurrentContext();
}

void imageShutdown() {
    // A pass left open holds an image selected in its device context.
    endCurrentContext();
    ImgFree(-1);
    g_images.destroy();
}

} // namespace draw
