// The window toolkit driven the way the host's user drives it (posted input,
// real window procedures, the real queue), and the About box behind the
// DLL's _nbAbout.
#include "tests/win/test_ui/ui_tests.h"

using namespace uitests;

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();
const bool g_toolkit = aroundAllTests(&startToolkit, &ui::shutdown);

// Whether a handle still names a live icon, accelerator table or font: a
// destroyed one is refused by every call.
bool iconAlive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return false;
    }
    GdiObject<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    return true;
}

bool acceleratorsAlive(HACCEL table) {
    return CopyAcceleratorTableW(table, nullptr, 0) > 0;
}

bool fontAlive(HFONT font) {
    LOGFONTW lf{};
    return GetObjectW(font, sizeof(lf), &lf) != 0;
}

//--- Windows

TEST_F(Toolkit, WindowsTakeStyleClientSizeAndClassFromTheirFlags) {
    // Flags, the style they give (of WS_POPUP, WS_CAPTION, WS_SYSMENU and the
    // option bits), and whether the window shows.
    const std::tuple<uint32_t, DWORD, bool> cases[] = {
        {UI_FLAGS_DIALOG, WS_CAPTION | WS_SYSMENU, true},
        {UI_FLAGS_CANVAS, WS_POPUP, true},
        {UI_FLAGS_CANVAS | UI_OPEN_HIDDEN, WS_POPUP, false},
        {0, WS_CAPTION, true},
        {UI_OPTION_BITS, WS_CAPTION, false},
    };
    const DWORD mask = WS_POPUP | WS_CAPTION | WS_SYSMENU | UI_OPTION_BITS;
    for (const auto& [flags, style, visible] : cases) {
        HWND hwnd = hwndOf(UiOpenWindow(0, 30, 40, 400, 150, u"T\u00edtulo", flags, nullptr));
        ASSERT_TRUE(hwnd);
        EXPECT_EQ(UiWindowHandle(0), hwnd);
        EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & mask, style) << std::hex << flags;
        EXPECT_EQ(IsWindowVisible(hwnd) != 0, visible) << std::hex << flags;
        EXPECT_EQ(clientRect(hwnd), (RECT{0, 0, 400, 150}));
        const RECT frame = windowRect(hwnd);
        EXPECT_EQ(frame.left, 30);
        EXPECT_EQ(frame.top, 40);
        EXPECT_EQ(windowText(hwnd), L"T\u00edtulo");
        EXPECT_EQ(windowClass(hwnd), L"WindowClass_0");
        EXPECT_NE(GetClassLongPtrW(hwnd, GCLP_HICON), 0) << "the module's icon 1";
        UiCloseWindow(0);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_FALSE(UiIsWindow(0));
        EXPECT_FALSE(classRegistered(0));
    }
}

TEST_F(Toolkit, GeneratedNumbersAreLargeAndStaleOrGarbageNumbersFindNothing) {
    const int a = windows.open(), b = windows.open();
    EXPECT_GE(a, FIRST_ALLOCATED_NUMBER);
    EXPECT_NE(a, b);
    EXPECT_TRUE(classRegistered(a));
    HWND ha = UiWindowHandle(a);
    UiCloseWindow(a);
    EXPECT_FALSE(IsWindow(ha));
    EXPECT_FALSE(classRegistered(a));
    for (int n : {a, -2, 12345, MAX_FIXED_NUMBER, FIRST_ALLOCATED_NUMBER + 77777, INT32_MAX}) {
        EXPECT_FALSE(UiIsWindow(n));
        EXPECT_EQ(UiWindowHandle(n), nullptr);
        EXPECT_EQ(UiControlHandle(n), nullptr);
        EXPECT_EQ(UiGetText(n), u"");
        UiSetText(n, u"x");
        UiSetState(n, 1);
        UiCloseWindow(n);
    }
    EXPECT_TRUE(UiIsWindow(b));
}

TEST_F(Toolkit, DialogsAreCentredOnTheirOwnerAndClampedAtZero) {
    const RECT alone = windowRect(openDialog()); // no owner: stays at its x, y
    EXPECT_EQ(alone.left, 30);
    EXPECT_EQ(alone.top, 40);
    const int w = alone.right - alone.left, h = alone.bottom - alone.top;
    // The owner's place and size, and where the dialog goes.
    const std::tuple<int, int, int, int, int, int> cases[] = {
        {200, 100, w + 300, h + 200, 350, 200},
        // A smaller owner: (-401) / 2 truncates toward zero, to -200.
        {300, 300, w - 401, h - 101, 100, 250},
        // Near the screen's corner the result would be negative: 0.
        {50, 20, w - 300, h - 100, 0, 0},
    };
    for (const auto& [x, y, ownerWidth, ownerHeight, left, top] : cases) {
        HostScene owner(x, y, ownerWidth, ownerHeight);
        HWND dialog = openDialog(owner.main());
        const RECT r = windowRect(dialog);
        EXPECT_EQ(r.left, left);
        EXPECT_EQ(r.top, top);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner.main());
    }
}

TEST_F(Toolkit, ReusingANumberDestroysTheOldObjectAndItsWaitingEvents) {
    HWND first = openDialog();
    HWND button = hwndOf(UiAddButton(1, 10, 10, 80, 25, u"OK"));
    SendMessageW(button, BM_CLICK, 0, 0);
    HWND again = hwndOf(UiAddButton(1, 10, 10, 80, 25, u"OK"));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(UiControlHandle(1), again);
    EXPECT_TRUE(takeEvents().empty()) << "the old button's click went with it";
    SendMessageW(again, BM_CLICK, 0, 0);
    SendMessageW(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(ui::eventQueue().size(), 2u);
    HWND second = openDialog();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(again));
    EXPECT_EQ(UiWindowHandle(0), second);
    EXPECT_EQ(UiControlHandle(1), nullptr);
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(Toolkit, ShutDownClosesEveryWindowAndTheToolkitStartsAgain) {
    HWND dialog = openDialog();
    HWND canvas = UiWindowHandle(windows.open());
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(dialog, GCLP_HICON));
    const auto font = reinterpret_cast<HFONT>(
        SendMessageW(hwndOf(UiAddButton(1, 0, 0, 50, 20, u"OK")), WM_GETFONT, 0, 0));
    ASSERT_TRUE(iconAlive(icon));
    ASSERT_TRUE(fontAlive(font));
    ui::shutdown();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(canvas));
    EXPECT_FALSE(UiIsWindow(0));
    EXPECT_FALSE(classRegistered(0));
    EXPECT_FALSE(iconAlive(icon)) << "the class icon goes with the toolkit";
    EXPECT_FALSE(fontAlive(font)) << "and so does the message font";
    ui::startup(GetModuleHandleW(nullptr));
    EXPECT_TRUE(openDialog());
    EXPECT_TRUE(
        iconAlive(reinterpret_cast<HICON>(GetClassLongPtrW(UiWindowHandle(0), GCLP_HICON))));
    EXPECT_TRUE(fontAlive(ui::controlFont()));
}

// Each kind of owner through the same moves: a handle is destroyed exactly
// when its last owner lets go of it, and never twice.
template <typename Owner, typename Handle>
void checkOwner(const char* kind, Handle (*make)(), bool (*alive)(Handle)) {
    // What is done with two handles, and whether each is alive afterwards.
    const std::tuple<const char*, void (*)(Handle a, Handle b), bool, bool> cases[] = {
        {"the end of its scope destroys its handle", [](Handle a, Handle) { Owner o(a); }, false,
         true},
        {"a moved-from owner destroys nothing",
         [](Handle a, Handle) {
             Owner o(a);
             Owner p(std::move(o));
             EXPECT_FALSE(o) << "the moved-from owner is empty";
             p.release();
         },
         true, true},
        {"release hands the handle over without destroying it",
         [](Handle a, Handle) { EXPECT_EQ(Owner(a).release(), a); }, true, true},
        {"move assignment destroys the handle it replaces",
         [](Handle a, Handle b) {
             Owner o(a);
             Owner p(b);
             p = std::move(o);
         },
         false, false},
        {"reset destroys the old handle and takes the new",
         [](Handle a, Handle b) {
             Owner o(a);
             o.reset(b);
             o.release();
         },
         false, true},
        {"reset to the handle it holds keeps it, to be destroyed once",
         [](Handle a, Handle) {
             Owner o(a);
             o.reset(a);
             o.release();
         },
         true, true},
    };
    for (const auto& [name, run, aAlive, bAlive] : cases) {
        const Handle a = make(), b = make();
        ASSERT_TRUE(a && b) << kind;
        run(a, b);
        EXPECT_EQ(alive(a), aAlive) << kind << ": " << name;
        EXPECT_EQ(alive(b), bAlive) << kind << ": " << name;
        Owner left[] = {Owner(alive(a) ? a : nullptr), Owner(alive(b) ? b : nullptr)};
    }
}

TEST(HandleOwners, DestroyTheirHandleOnceAndHandItOverOnAMove) {
    checkOwner<Icon>(
        "Icon",
        +[] {
            return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                 IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
        },
        &iconAlive);
    checkOwner<AcceleratorTable>(
        "AcceleratorTable",
        +[] {
            ACCEL tab{FVIRTKEY, VK_TAB, 1};
            return CreateAcceleratorTableW(&tab, 1);
        },
        &acceleratorsAlive);
    checkOwner<GdiObject<HBRUSH>>(
        "GdiObject", +[] { return CreateSolidBrush(RGB(1, 2, 3)); },
        +[](HBRUSH brush) { return GetObjectType(brush) == OBJ_BRUSH; });
    checkOwner<UniqueAny<HDC, &DeleteDC>>(
        "MemoryDC", +[] { return CreateCompatibleDC(nullptr); },
        +[](HDC dc) { return GetObjectType(dc) == OBJ_MEMDC; });
}

} // namespace
