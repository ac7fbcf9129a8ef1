// The picture control on real DIB sections and windows: what it paints (read
// back through WM_PRINTCLIENT and from the screen), when it repaints, its
// size, its mouse events and its clean-up.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <tuple>
#include <vector>

#include "draw/alpha_blend_win.h"
#include "draw/drawpass_win.h"
#include "draw/image_win.h"
#include "draw/picture_win.h"
#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/subclass_spy.h"
#include "tests/win/support/ui_driver.h"

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

const bool g_toolkit = aroundAllTests(&startToolkit, [] {
    ui::shutdown();
    draw::alphaBlendForget();
});

// The letter F in red on blue, 6 x 5, drawn through `at(x, y)` (top row
// first): a flipped row order or a red/blue swap shows at once.
template <typename At> void drawLetterF(At at) {
    const char* rows[] = {"#####.", "#.....", "####..", "#.....", "#....."};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            at(x, y) = rows[y][x] == '#' ? PIXEL_RED : PIXEL_BLUE;
        }
    }
}

// A 32-bit DIB section, bottom-up unless said otherwise, addressed from the
// top row down, pixels as 0xAARRGGBB.
class Image {
  public:
    Image(int w, int h, uint32_t fill, RowOrder order = RowOrder::BottomUp)
        : w_(w), h_(h), order_(order), dib_(nullptr, w, h, 32, order) {
        fillWith(fill);
    }
    static Image letterF(RowOrder order = RowOrder::BottomUp) {
        Image f(6, 5, PIXEL_BLUE, order);
        drawLetterF([&](int x, int y) -> uint32_t& { return f.at(x, y); });
        return f;
    }
    uint32_t* bits() const { return reinterpret_cast<uint32_t*>(dib_.bits()); }
    uint32_t& at(int x, int y) const {
        return bits()[(order_ == RowOrder::TopDown ? y : h_ - 1 - y) * w_ + x];
    }
    void fillWith(uint32_t value) {
        GdiFlush();
        std::fill(bits(), bits() + w_ * h_, value);
    }
    std::vector<uint32_t> rgb() const {
        std::vector<uint32_t> out;
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                out.push_back(at(x, y) & PIXEL_RGB);
            }
        }
        return out;
    }
    HBITMAP get() const { return dib_.get(); }
    int64_t state() const { return reinterpret_cast<intptr_t>(dib_.get()); }

  private:
    int w_, h_;
    RowOrder order_;
    DibSection dib_;
};

// Pixels (RGB) of a w x h area painted by `paint` into a fresh 32-bit DC
// first filled with `background`.
std::vector<uint32_t> capture(int w, int h, uint32_t background,
                              const std::function<void(HDC)>& paint) {
    std::vector<uint32_t> pixels = paintedPixels(w, h, background, paint);
    for (uint32_t& p : pixels) {
        p &= PIXEL_RGB;
    }
    return pixels;
}

std::vector<uint32_t> printed(HWND control, int w, int h, uint32_t background = 0) {
    return capture(w, h, background, [&](HDC dc) {
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
}

std::vector<uint32_t> onScreen(HWND control, int w, int h) {
    return capture(w, h, 0, [&](HDC dc) {
        WindowDC screen(control);
        BitBlt(dc, 0, 0, w, h, screen.get(), 0, 0, SRCCOPY);
    });
}

class Picture : public ::testing::Test {
  protected:
    void SetUp() override {
        canvas = windows.open(UI_FLAGS_CANVAS, 60, 40);
        ASSERT_TRUE(canvas);
        takeEvents();
    }
    int add(int x, int y, const Image& image, int number = UI_ANY) {
        const intptr_t made = UiAddPicture(number, x, y, 10, 10, image.get());
        return number == UI_ANY ? static_cast<int>(made) : number;
    }
    TestWindows windows;
    int canvas = 0;
};

TEST_F(Picture, ShowsTheImageExactlyAndOnlyWhatWasLastAssigned) {
    for (bool alphaBlend : {true, false}) {
        if (!alphaBlend) {
            draw::alphaBlendWithhold(); // painting falls back to DrawStateW
        }
        Image f = Image::letterF();
        const int pic = add(0, 0, f);
        HWND hwnd = UiControlHandle(pic);
        ASSERT_TRUE(hwnd);
        EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_ID), pic);
        EXPECT_EQ(UiGetState(pic), f.state());
        const std::vector<uint32_t> letter = f.rgb();
        UpdateWindow(UiWindowHandle(canvas));
        EXPECT_EQ(printed(hwnd, 6, 5), letter) << alphaBlend;
        EXPECT_EQ(onScreen(hwnd, 6, 5), letter) << alphaBlend;
        // Drawn into, not assigned: the old pixels stay, also after the
        // window is covered and uncovered. (DrawStateW, the fallback, has
        // no copy and paints whatever the image holds.)
        f.fillWith(PIXEL_GREEN);
        RedrawWindow(UiWindowHandle(canvas), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        if (alphaBlend) {
            EXPECT_EQ(printed(hwnd, 6, 5), letter);
            EXPECT_EQ(onScreen(hwnd, 6, 5), letter);
        }
        UiSetState(pic, f.state());
        UpdateWindow(hwnd);
        const std::vector<uint32_t> green(30, PIXEL_GREEN & PIXEL_RGB);
        EXPECT_EQ(printed(hwnd, 6, 5), green);
        EXPECT_EQ(onScreen(hwnd, 6, 5), green);
        EXPECT_EQ(f.rgb(), green) << "the image itself is never changed";
        EXPECT_EQ(draw::loadedAlphaBlend() != nullptr, alphaBlend);
    }
    draw::alphaBlendForget();
}

TEST_F(Picture, TranslucentPixelsArePaintedPremultiplied) {
    Image image(3, 1, 0);
    image.at(0, 0) = 0x80FFFFFF; // white at half alpha: (255 * 128) >> 8 = 127
    image.at(1, 0) = 0x00FFFFFF; // white at alpha 0: nothing
    image.at(2, 0) = 0xFF102030; // opaque: unchanged
    const int pic = add(0, 0, image);
    EXPECT_EQ(printed(UiControlHandle(pic), 3, 1),
              (std::vector<uint32_t>{0x7F7F7F, 0x000000, 0x102030}));
    EXPECT_EQ(image.at(0, 0), 0x80FFFFFFu) << "the copy is premultiplied, not the image";
}

// A canvas image is opaque everywhere; its copy is painted with BitBlt. The
// window must show the very pixels AlphaBlend paints from the same image
// (over anything: at alpha 255 nothing of the background may show).
TEST_F(Picture, OpaqueImagesShowThePixelsAlphaBlendWouldPaint) {
    const int w = 60, h = 40;
    Image image(w, h, 0);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            image.at(x, y) = 0xFF000000u | (seed >> 8);
        }
    }
    const int pic = add(0, 0, image);
    HWND hwnd = UiControlHandle(pic);
    UpdateWindow(UiWindowHandle(canvas));
    const std::vector<uint32_t> painted = onScreen(hwnd, w, h);
    EXPECT_EQ(painted, image.rgb());
    EXPECT_EQ(printed(hwnd, w, h, 0x123456), image.rgb());

    using AlphaBlendFn =
        BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
    HMODULE msimg32 = LoadLibraryW(L"msimg32.dll");
    ASSERT_NE(msimg32, nullptr);
    auto alphaBlend = reinterpret_cast<AlphaBlendFn>(
        reinterpret_cast<void*>(GetProcAddress(msimg32, "AlphaBlend")));
    ASSERT_NE(alphaBlend, nullptr);
    {
        const WindowDC dc(hwnd);
        PatBlt(dc.get(), 0, 0, w, h, WHITENESS);
        MemoryDC source(dc.get());
        ScopedSelect select(source.get(), image.get());
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        EXPECT_TRUE(alphaBlend(dc.get(), 0, 0, w, h, source.get(), 0, 0, w, h, blend));
        GdiFlush();
    }
    EXPECT_EQ(onScreen(hwnd, w, h), painted) << "AlphaBlend paints what the control painted";
    FreeLibrary(msimg32);
}

// Sources other than a bottom-up DIB section: a top-down section and a
// device-dependent bitmap are shown exactly too.
TEST_F(Picture, TopDownSectionsAndDeviceBitmapsAreShownExactly) {
    const std::vector<uint32_t> letter = Image::letterF().rgb();
    const Image topDown = Image::letterF(RowOrder::TopDown);
    ASSERT_TRUE(topDown.get());
    BITMAPINFO bi{};
    bi.bmiHeader = dibHeader(6, 5, 32, RowOrder::TopDown);
    GdiObject<HBITMAP> device(CreateCompatibleBitmap(ScreenDC().get(), 6, 5));
    ASSERT_TRUE(device);
    ASSERT_EQ(SetDIBits(MemoryDC().get(), device.get(), 0, 5, topDown.bits(), &bi, DIB_RGB_COLORS),
              5);
    const int pic = add(0, 0, topDown);
    HWND hwnd = UiControlHandle(pic);
    EXPECT_EQ(printed(hwnd, 6, 5), letter);
    UiSetState(pic, reinterpret_cast<intptr_t>(device.get()));
    EXPECT_EQ(printed(hwnd, 6, 5), letter);
}

// A canvas image (made by ImgCreate) is read straight from its memory: its
// rows are bottom-up, and what GDI drew into it last is there too.
TEST_F(Picture, CanvasImagesAreShownUnflippedWithTheirLatestPixels) {
    const int n = static_cast<int>(ImgCreate(UI_ANY, 6, 5, 32, 0x00FF0000)); // blue
    ASSERT_TRUE(n);
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImgHandle(n));
    EXPECT_TRUE(draw::isTableImage(bitmap));
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    auto* bits = static_cast<uint32_t*>(ds.dsBm.bmBits);
    drawLetterF([&](int x, int y) -> uint32_t& { return bits[(4 - y) * 6 + x]; });
    const std::vector<uint32_t> letter = Image::letterF().rgb();
    const int pic = static_cast<int>(UiAddPicture(UI_ANY, 0, 0, 10, 10, bitmap));
    HWND hwnd = UiControlHandle(pic);
    EXPECT_EQ(printed(hwnd, 6, 5), letter);
    {
        // A GDI drawing into the pass's device context reaches the next
        // copy, though the copy takes only what passes changed. GDI leaves
        // alpha 0 in the pixel, which then shows what lies under it.
        const HDC dc = reinterpret_cast<HDC>(DrawStart(ImgOutput(n)));
        ASSERT_TRUE(dc);
        SetPixelV(dc, 5, 4, RGB(0, 255, 0));
        DrawStop();
    }
    UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
    std::vector<uint32_t> marked = letter;
    marked[4 * 6 + 5] = 0x123456;
    EXPECT_EQ(printed(hwnd, 6, 5, 0x123456), marked);
    ImgFree(n);
    EXPECT_FALSE(draw::isTableImage(bitmap));
}

// The copy is taken afresh on every assignment, whatever changed: the
// size, the pixels, or whether any of them is translucent.
TEST_F(Picture, EveryAssignmentTakesAFreshCopy) {
    Image f = Image::letterF(), wide(20, 10, PIXEL_GREEN);
    const std::vector<uint32_t> letter = f.rgb();
    const int pic = add(0, 0, f);
    HWND hwnd = UiControlHandle(pic);
    EXPECT_EQ(printed(hwnd, 6, 5), letter);
    UiSetState(pic, wide.state());
    EXPECT_EQ(printed(hwnd, 20, 10), wide.rgb());
    UiSetState(pic, f.state());
    EXPECT_EQ(printed(hwnd, 6, 5), letter);
    f.at(1, 1) = 0x80FFFFFF; // white at half alpha over black: 0x7F7F7F
    UiSetState(pic, f.state());
    std::vector<uint32_t> half = letter;
    half[1 * 6 + 1] = 0x7F7F7F;
    EXPECT_EQ(printed(hwnd, 6, 5), half);
    f.at(1, 1) = PIXEL_BLUE; // opaque again
    UiSetState(pic, f.state());
    EXPECT_EQ(printed(hwnd, 6, 5, 0x123456), letter);
}

TEST_F(Picture, AssigningResizesWithoutMovingAndPostsNoEvent) {
    Image f = Image::letterF(), wide(20, 10, PIXEL_GREEN);
    const int pic = add(7, 9, f, 5);
    HWND hwnd = UiControlHandle(pic);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_ID), 5);
    const HWND parent = UiWindowHandle(canvas);
    EXPECT_EQ(rectIn(hwnd, parent), (RECT{7, 9, 13, 14}));
    pumpMessages();
    takeEvents();
    UiSetState(pic, wide.state());
    pumpMessages();
    EXPECT_EQ(rectIn(hwnd, parent), (RECT{7, 9, 27, 19}));
    EXPECT_EQ(ui::controlSize(pic).cx, 20);
    EXPECT_EQ(UiGetState(pic), wide.state());
    EXPECT_TRUE(takeEvents().empty());
}

// A control class whose set-state operation posts events, one of them forced.
void noisySetState(HWND, void*, int64_t value) {
    ui::postEvent(UiEvent{UI_EVENT_CONTROL, 1, 0, static_cast<int>(value)});
    ui::postEvent(UiEvent{UI_EVENT_CONTROL, 2, 0, static_cast<int>(value)}, true);
}

TEST_F(Picture, SetStateSuppressesAllButForcedEvents) {
    UiControlClass noisy;
    noisy.setState = &noisySetState;
    HWND made = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD, 0, 0, 5, 5, UiWindowHandle(canvas),
                                nullptr, nullptr, nullptr);
    const int n = static_cast<int>(ui::adoptControl(UI_ANY, made, &noisy, nullptr));
    UiSetState(n, 9);
    EXPECT_EQ(takeEvents(), std::vector<UiEvent>{(UiEvent{UI_EVENT_CONTROL, 2, 0, 9})});
    EXPECT_EQ(ui::eventQueue().suppression(), 0);
}

TEST_F(Picture, MouseGesturesPostTheirEvents) {
    Image image(30, 20, PIXEL_GREEN);
    const int pic = add(0, 0, image);
    HWND hwnd = UiControlHandle(pic);
    const int dx = GetSystemMetrics(SM_CXDRAG);
    const std::tuple<UINT, int, int> input[] = {
        {WM_LBUTTONDOWN, 2, 2},    {WM_MOUSEMOVE, 2 + dx, 2}, {WM_MOUSEMOVE, 3 + dx, 2},
        {WM_LBUTTONUP, 3 + dx, 2}, {WM_RBUTTONUP, 3, 3},      {WM_RBUTTONDBLCLK, 3, 3},
        {WM_RBUTTONUP, 3, 3},      {WM_LBUTTONDBLCLK, 3, 3},  {WM_RBUTTONUP, 4, 4},
    };
    for (const auto& [msg, x, y] : input) {
        SendMessageW(hwnd, msg, msg == WM_MOUSEMOVE ? MK_LBUTTON : 0, MAKELPARAM(x, y));
        if (msg == WM_LBUTTONDOWN) {
            EXPECT_EQ(GetCapture(), hwnd);
        }
    }
    EXPECT_EQ(GetCapture(), nullptr) << "the drag start released the mouse";
    auto e = [&](int subtype) { return UiEvent{UI_EVENT_CONTROL, pic, canvas, subtype}; };
    EXPECT_EQ(takeEvents(), (std::vector<UiEvent>{
                                e(STN_CLICKED), e(PICTURE_EVENT_DRAG_START),
                                e(PICTURE_EVENT_RIGHT_CLICK), e(PICTURE_EVENT_RIGHT_DOUBLE_CLICK),
                                e(PICTURE_EVENT_DOUBLE_CLICK), e(PICTURE_EVENT_RIGHT_CLICK)}));
}

TEST_F(Picture, ToolBarsAndStatusBarsAreNeverPaintedOver) {
    Image image(60, 40, PIXEL_GREEN);
    HWND hwnd = UiControlHandle(add(0, 0, image));
    HWND parent = UiWindowHandle(canvas);
    const DWORD style = WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE;
    HWND bars[] = {
        CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style, 0, 0, 60, 10, parent, nullptr,
                        nullptr, nullptr),
        CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, style, 0, 32, 60, 8, parent, nullptr, nullptr,
                        nullptr),
    };
    std::vector<uint32_t> expected(60 * 40, PIXEL_GREEN & PIXEL_RGB);
    for (HWND bar : bars) {
        ASSERT_TRUE(bar);
        const RECT r = rectIn(bar, hwnd);
        for (int y = std::max(0L, r.top); y < std::min(40L, r.bottom); ++y) {
            for (int x = std::max(0L, r.left); x < std::min(60L, r.right); ++x) {
                expected[y * 60 + x] = 0x123456;
            }
        }
    }
    // A clip region the caller set stays as it was.
    std::vector<uint32_t> clipped = expected;
    for (int y = 0; y < 40; ++y) {
        clipped[y * 60 + 59] = 0x123456;
    }
    bool clipKept = false;
    EXPECT_EQ(capture(60, 40, 0x123456,
                      [&](HDC dc) {
                          GdiObject<HRGN> clip(CreateRectRgn(0, 0, 59, 40));
                          SelectClipRgn(dc, clip.get());
                          SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                                       PRF_CLIENT);
                          GdiObject<HRGN> after(CreateRectRgn(0, 0, 0, 0));
                          clipKept =
                              GetClipRgn(dc, after.get()) == 1 && EqualRgn(after.get(), clip.get());
                      }),
              clipped);
    EXPECT_TRUE(clipKept) << "the caller's clip region is restored";
    EXPECT_EQ(printed(hwnd, 60, 40, 0x123456), expected);
}

TEST_F(Picture, ClosingTheWindowReleasesTheControlAndItsCopy) {
    Image image(256, 256, PIXEL_GREEN); // each copy: 256 KB
    auto cycle = [&] {
        const int window = windows.open(UI_FLAGS_CANVAS, 256, 256);
        const int pic = add(0, 0, image);
        UiSetState(pic, image.state());
        UiCloseWindow(window);
        return pic;
    };
    for (int i = 0; i < 10; ++i) {
        cycle();
    }
    const size_t before = committedBytes();
    int pic = 0;
    for (int i = 0; i < 100; ++i) {
        pic = cycle();
    }
    EXPECT_LT(committedBytes(), before + 8 * 1024 * 1024) << "100 leaked copies would be 25 MB";
    EXPECT_EQ(UiControlHandle(pic), nullptr);
    UiSetState(pic, image.state()); // a stale number: nothing happens
    EXPECT_EQ(UiGetState(pic), 0);
}

// A host that subclasses every Static from a CBT hook gives each canvas's
// picture a procedure of its own. What a picture does not handle itself
// goes on to its own procedure and never to another canvas's, also after
// that canvas's object is gone (and, on a real host, its procedure freed).
class HostileHost : public PluggedHost {};

TEST_F(HostileHost, EachPictureHandsOnToTheProcedureItDisplaced) {
    const HWND objectB = scene.addObject(host, "B", 50, 0, 40, 30);
    const HWND objectA = scene.addObject(host, "A", 0, 0, 40, 30);
    const auto spied = subclassWhile(L"Static", [&] {
        EXPECT_EQ(exec(CREATE, {"A", "$FFFFFF"}), 1);
        EXPECT_EQ(exec(CREATE, {"B", "$FFFFFF"}), 1);
    });
    ASSERT_EQ(spied.size(), 2u) << "one picture per canvas";
    const HWND a = spied[0]->hwnd;
    ASSERT_EQ(GetParent(GetParent(a)), objectA);
    ASSERT_EQ(GetParent(GetParent(spied[1]->hwnd)), objectB);
    const WindowDC dc(a);
    const std::tuple<UINT, WPARAM, LPARAM> rows[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3)},
        {WM_LBUTTONUP, 0, MAKELPARAM(3, 3)},
        {WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0},
        {WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE},
    };
    for (const bool bGone : {false, true}) {
        if (bGone) {
            DestroyWindow(objectB);
            ASSERT_FALSE(IsWindow(spied[1]->hwnd));
        }
        for (const auto& [msg, wp, lp] : rows) {
            const size_t before = spied[0]->seen(msg, wp);
            SendMessageW(a, msg, wp, lp);
            EXPECT_EQ(spied[0]->seen(msg, wp), before + 1) << msg << (bGone ? ", B gone" : "");
        }
        pumpMessages();
    }
    for (const Spied* s : spied) {
        EXPECT_EQ(s->strays, 0u) << "a procedure saw another window, or was called once freed";
    }
}

} // namespace
