// The editor, continued: the font dialog, the keyboard, the host's windows
// while a dialog runs, and the ways a dialog ends early.
#include "tests/win/test_editor/editor_tests.h"

using namespace editortests;

namespace {

//--- The font dialog

TEST_F(Editor, TheFontDialogOpensOnTheFontFieldAndTheTextColour) {
    struct Case {
        const char* font;
        const char* colour;
        const wchar_t* face;
        LONG height, weight;
        BYTE italic, underline;
        COLORREF rgb;
    };
    const Case cases[] = {
        {"Arial,12,B", "$0000FF", L"Arial", -16, 700, 0, 0, 0x0000FF},
        {"Arial", "", L"Arial", 0, 400, 0, 0, 0},
        {"Times New Roman,10,bi", "255", L"Times New Roman", -13, 400, 0, 0, 0x0000FF},
        {"Courier, 10, I", "16711680", L"Courier", -13, 400, 1, 0, 0xFF0000},
        {",,U", "#FF0000", L"", 0, 400, 0, 1, 0},
        {"Verdana,14,UB", "-1", L"Verdana", -19, 700, 0, 1, 0xFFFFFFFF},
        {"1234567890123456789012345678901234567890,8,I", "$00FF00",
         L"1234567890123456789012345678901", -11, 400, 1, 0, 0x00FF00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        FontDialogSpy fonts(plugin.handle());
        ASSERT_TRUE(fonts.ok());
        host::Params params({"o", "t", "1", "2", c.colour, "0", c.font});
        HWND editorWindow = nullptr, fontOwner = nullptr;
        std::wstring after;
        edit(4, params,
             {click(editor::CONTROL_FONT_PICK),
              [&](HWND d) {
                  editorWindow = d;
                  HWND f = fontDialogOf(d);
                  fontOwner = f ? GetWindow(f, GW_OWNER) : nullptr;
                  SendMessageW(item(f, IDCANCEL), BM_CLICK, 0, 0);
              },
              readFields(after, {31, 25}), click(editor::CONTROL_CANCEL)});
        ASSERT_EQ(g_fontCalls.size(), 1u);
        const FontDialogCall& call = g_fontCalls[0];
        EXPECT_EQ(call.choice.lStructSize, sizeof(CHOOSEFONTW));
        EXPECT_EQ(call.choice.Flags, 0x141u);
        EXPECT_EQ(call.choice.hwndOwner, editorWindow);
        EXPECT_EQ(fontOwner, editorWindow);
        EXPECT_EQ(call.choice.rgbColors, c.rgb);
        EXPECT_STREQ(call.font.lfFaceName, c.face);
        EXPECT_EQ(call.font.lfHeight, c.height);
        EXPECT_EQ(call.font.lfWeight, c.weight);
        EXPECT_EQ(call.font.lfItalic, c.italic);
        EXPECT_EQ(call.font.lfUnderline, c.underline);
        EXPECT_EQ(call.font.lfStrikeOut, 0);
        EXPECT_EQ(call.font.lfWidth, 0);
        EXPECT_EQ(call.font.lfCharSet, 0);
        EXPECT_FALSE(call.result) << "cancelled";
        EXPECT_EQ(host::ansi(after), std::string(c.font) + "|" + c.colour) << "unchanged";
    }
}

// The dialog lists the installed faces and, in ./run's prefixes, Windows names
// served by stand-ins ("Arial" by Liberation Sans). What it returns is read off
// the dialog just before "OK"; for the faces here it is what it opened on.
TEST_F(Editor, TheFontDialogsOkWritesFaceSizeStylesAndTheColourAsADecimal) {
    struct Case {
        const char* font;
        const char* colour;
        COLORREF pickColour; // chosen in the dialog; CLR_INVALID: left as opened
        bool strikeOut;
        const char* exactFont; // what an installed face gives back; null: not known here
        const char* exactColour;
    };
    const Case cases[] = {
        {"Liberation Serif,11,IU", "$0000FF", CLR_INVALID, false, "Liberation Serif,11,IU", "255"},
        {"Liberation Sans,12,B", "$0000FF", 0xFF0000, true, "Liberation Sans,12,B", "16711680"},
        {"Liberation Mono,20,", "255", RGB(0, 128, 0), false, "Liberation Mono,20,", "32768"},
        {"Arial,12,B", "$FF0000", CLR_INVALID, false, "Arial,12,B", "16711680"},
        {"Arial,20,B", "$000000", CLR_INVALID, false, "Arial,20,B", "0"},
        {"Times New Roman,14,I", "$800000", CLR_INVALID, false, "Times New Roman,14,I", "8388608"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        FontDialogSpy fonts(plugin.handle());
        host::Params params({"o", "t", "1", "2", c.colour, "0", c.font});
        LOGFONTW shown{};
        COLORREF shownColour = 0;
        std::wstring font, colour;
        const int result = edit(
            4, params,
            {click(editor::CONTROL_FONT_PICK),
             [&](HWND d) {
                 HWND f = fontDialogOf(d);
                 ASSERT_NE(f, nullptr);
                 HWND colours = GetDlgItem(f, cmb4);
                 const auto colourAt = [colours](LRESULT i) {
                     return static_cast<COLORREF>(SendMessageW(colours, CB_GETITEMDATA, i, 0));
                 };
                 if (c.pickColour != CLR_INVALID) {
                     const int n = static_cast<int>(SendMessageW(colours, CB_GETCOUNT, 0, 0));
                     for (int i = 0; i < n; ++i) {
                         if (colourAt(i) == c.pickColour) {
                             SendMessageW(colours, CB_SETCURSEL, i, 0);
                         }
                     }
                     SendMessageW(f, WM_COMMAND, MAKEWPARAM(cmb4, CBN_SELCHANGE),
                                  reinterpret_cast<LPARAM>(colours));
                 }
                 if (c.strikeOut) {
                     SendMessageW(GetDlgItem(f, chx1), BM_CLICK, 0, 0);
                 }
                 // What the dialog holds now: its LOGFONT and the colour it would return.
                 SendMessageW(f, WM_CHOOSEFONT_GETLOGFONT, 0, reinterpret_cast<LPARAM>(&shown));
                 shownColour = colourAt(SendMessageW(colours, CB_GETCURSEL, 0, 0));
                 SendMessageW(item(f, IDOK), BM_CLICK, 0, 0);
             },
             [&](HWND d) {
                 font = windowText(item(d, editor::CONTROL_FONT_FIELD));
                 colour = windowText(item(d, editor::CONTROL_TEXT_COLOUR_FIELD));
             },
             click(editor::CONTROL_OK)});
        EXPECT_EQ(result, 1);
        ASSERT_EQ(g_fontCalls.size(), 1u);
        const FontDialogCall& call = g_fontCalls[0];
        ASSERT_TRUE(call.result);
        // What the dialog showed is what it returned.
        EXPECT_STREQ(call.chosen.lfFaceName, shown.lfFaceName);
        EXPECT_EQ(call.chosen.lfHeight, shown.lfHeight);
        EXPECT_EQ(call.chosenColour, shownColour);
        if (c.pickColour != CLR_INVALID) {
            EXPECT_EQ(shownColour, c.pickColour);
        }
        EXPECT_EQ(call.chosen.lfStrikeOut != 0, c.strikeOut);
        const std::wstring want = std::wstring(shown.lfFaceName) + L"," +
                                  std::to_wstring(std::abs(MulDiv(shown.lfHeight, 72, 96))) + L"," +
                                  (shown.lfWeight >= 700 ? L"B" : L"") +
                                  (shown.lfItalic ? L"I" : L"") + (shown.lfUnderline ? L"U" : L"");
        EXPECT_EQ(font, want);
        EXPECT_EQ(colour, std::to_wstring(static_cast<int32_t>(shownColour)));
        EXPECT_EQ(parseColor(textFromWide(colour.c_str())), shownColour) << "reads back";
        EXPECT_EQ(params.text(6), host::ansi(font));
        EXPECT_EQ(params.text(4), host::ansi(colour));
        if (c.exactFont) {
            EXPECT_EQ(params.text(6), c.exactFont);
            EXPECT_EQ(params.text(4), c.exactColour);
        }
    }
}

//--- Keyboard, the host's windows, the ways a dialog ends early

// With keyboard cues off a window hides its focus rectangles until a key moves
// the focus; the dialog manager then sends the top-level window
// WM_CHANGEUISTATE(UIS_CLEAR, UISF_HIDEFOCUS) before the move. (Wine keeps no
// such state: the dialog's procedure records the message and the focus then.)
std::vector<std::pair<WPARAM, int>> g_uiChanges;
WNDPROC g_dialogProc = nullptr;
LRESULT CALLBACK recordUiChanges(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CHANGEUISTATE) {
        g_uiChanges.push_back({wp, IsChild(hwnd, GetFocus()) ? GetDlgCtrlID(GetFocus()) : 0});
    }
    return CallWindowProcW(g_dialogProc, hwnd, msg, wp, lp);
}

TEST_F(Editor, TabWalksTheFieldsAndButtonsInTableOrderAndShiftTabBack) {
    std::vector<int> forward, backward;
    g_uiChanges.clear();
    const auto tab = [](bool shift, std::vector<int>* seen) {
        return [shift, seen](HWND d) {
            if (IsChild(d, GetFocus())) {
                seen->push_back(GetDlgCtrlID(GetFocus()));
            }
            pressTab(d, shift);
        };
    };
    std::vector<Step> steps{[](HWND d) {
        SetForegroundWindow(d);
        SetActiveWindow(d);
        SetFocus(d);
        g_dialogProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(d, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordUiChanges)));
    }};
    steps.insert(steps.end(), 14, tab(false, &forward));
    steps.insert(steps.end(), 3, tab(true, &backward));
    steps.push_back([&](HWND d) {
        backward.push_back(GetDlgCtrlID(GetFocus()));
        holdShift(false);
        SendMessageW(item(d, editor::CONTROL_CANCEL), BM_CLICK, 0, 0);
    });
    host::Params params({"o", "t", "1", "2", "3", "4", "5"});
    EXPECT_EQ(edit(4, params, steps), 0);
    EXPECT_EQ(forward, (std::vector<int>{2, 3, 19, 21, 23, 25, 26, 28, 29, 31, 32, 4, 5}))
        << "labels are skipped; after the last, the first";
    EXPECT_EQ(backward, (std::vector<int>{2, 5, 4, 32}));
    std::vector<int> focusBefore{0}; // each key's, the dialog itself at first
    focusBefore.insert(focusBefore.end(), forward.begin(), forward.end());
    focusBefore.insert(focusBefore.end(), backward.begin(), backward.end() - 1);
    std::vector<std::pair<WPARAM, int>> shown;
    for (int focus : focusBefore) {
        shown.push_back({MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), focus});
    }
    EXPECT_EQ(g_uiChanges, shown) << "each key shows the focus, before it moves";
}

TEST_F(Editor, TheHostWindowKeepsWorkingWhileTheDialogIsOpen) {
    bool enabled = false, activated = false, dialogStayed = false;
    int handled = 0;
    host::Params params({"o"});
    const int result = edit(3, params,
                            {[&](HWND) {
                                 enabled = IsWindowEnabled(owner.main()) != 0;
                                 PostMessageW(owner.main(), WM_USER + 1, 0, 0);
                             },
                             [&](HWND d) {
                                 handled = owner.userMessages();
                                 SetActiveWindow(owner.main());
                                 activated = GetActiveWindow() == owner.main();
                                 dialogStayed = IsWindowVisible(d) != 0;
                             },
                             click(editor::CONTROL_OK)});
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(enabled) << "the owner is not disabled";
    EXPECT_EQ(handled, 1) << "its posted message was handled inside the dialog's loop";
    EXPECT_TRUE(activated);
    EXPECT_TRUE(dialogStayed);
    EXPECT_EQ(GetActiveWindow(), owner.main());
}

TEST_F(Editor, ASecondDialogWhileOneIsOpenIsRefused) {
    int nested = -1, about = -1;
    HWND before = nullptr, after = nullptr;
    host::Params params({"o", "$0000FF"});
    host::Params other({"x", "1", "2", "3", "4"});
    const Snapshot otherBefore = snapshot(other);
    const int result = edit(1, params,
                            {[&](HWND d) {
                                 before = d;
                                 nested = plugin.editAction(2, other.data());
                                 about = plugin.about();
                             },
                             [&](HWND d) {
                                 after = d;
                                 setText(7, L"255")(d);
                             },
                             click(editor::CONTROL_OK)});
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(about, 0);
    EXPECT_EQ(before, after) << "the first dialog kept its window";
    EXPECT_EQ(result, 1);
    EXPECT_EQ(params.text(1), "255");
    EXPECT_EQ(snapshot(other).pointers, otherBefore.pointers);
    EXPECT_EQ(FindWindowW(nullptr, L"Configurar DrawCircle"), nullptr);
}

TEST_F(Editor, ADialogWhoseOwnerIsDestroyedEndsWithZero) {
    host::Params params({"o", "$0000FF"});
    const Snapshot before = snapshot(params);
    HWND dialog = nullptr;
    const int result = edit(1, params, {setText(2, L"cambiado"), [&](HWND d) {
                                            dialog = d;
                                            owner.destroy(); // owned windows go with it
                                        }});
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(snapshot(params).pointers, before.pointers);
    EXPECT_EQ(snapshot(params).texts, before.texts);
}

TEST_F(Editor, AQuitForTheHostEndsTheDialogAndStaysForTheHost) {
    host::Params params({"o", "$0000FF"});
    const int result = edit(1, params, {setText(2, L"cambiado"), [](HWND) { PostQuitMessage(3); }});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(params.text(0), "o");
    WPARAM exitCode = 0;
    ASSERT_TRUE(takeQuit(&exitCode));
    EXPECT_EQ(exitCode, 3u);
}
} // namespace
