// The parameter dialogs behind the DLL's _nbEditAction, driven the way the
// host's user drives them while the dialog's own loop runs: a thread timer
// finds the dialog by its title and plays one step per tick (typing,
// clicks, the close box, the font dialog), while a host::Host answers the
// plug-in's picks and a GlobalSpy on the DLL tells who freed which string.
#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "canvas/convert.h"
#include "canvas/action_table.h"
#include "canvas/failure.h"
#include "editor/dialogs.h"
#include "editor/editor_win.h"
#include "plugin/plugin_win.h"
#include "host/app_win.h"
#include "host/encoding_win.h"
#include "host/host_win.h"
#include "host/script.h"
#include "host/utf8.h"
#include "base/gdi_win.h"
#include "base/text_win.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/import_patch.h"
#include "tests/win/support/ui_driver.h"
#include "ui/toolkit_win.h"

namespace {

//--- The user in front of the dialog

HWND item(HWND dialog, int control) {
    return GetDlgItem(dialog, control);
}

std::wstring textOf(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

Step click(int control) {
    return [control](HWND d) { SendMessageW(item(d, control), BM_CLICK, 0, 0); };
}
Step setText(int control, const wchar_t* text) {
    return [control, text](HWND d) {
        SendMessageW(item(d, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    };
}
const Step pause = [](HWND) {};

// The font dialog the editor opened: a dialog-class window owned by it.
struct OwnedDialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK findOwnedDialog(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<OwnedDialogSearch*>(lp);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0 && GetWindow(hwnd, GW_OWNER) == s->owner) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND fontDialogOf(HWND editor) {
    OwnedDialogSearch search{editor, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &findOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What the font dialog holds now: its LOGFONT and the colour it would return.
struct FontChoice {
    LOGFONTW font{};
    COLORREF colour = 0;
};
FontChoice readFontDialog(HWND fontDialog) {
    FontChoice c;
    SendMessageW(fontDialog, WM_CHOOSEFONT_GETLOGFONT, 0, reinterpret_cast<LPARAM>(&c.font));
    HWND colours = GetDlgItem(fontDialog, cmb4);
    const LRESULT i = SendMessageW(colours, CB_GETCURSEL, 0, 0);
    c.colour = static_cast<COLORREF>(SendMessageW(colours, CB_GETITEMDATA, i, 0));
    return c;
}

// Records what the DLL hands to ChooseFontW and what comes back, then lets
// the real font dialog run.
struct FontDialogCall {
    CHOOSEFONTW choice{};
    LOGFONTW font{}; // as the plug-in prepared it
    BOOL result = FALSE;
    LOGFONTW chosen{}; // as the dialog left it
    COLORREF chosenColour = 0;
};
std::vector<FontDialogCall> g_fontCalls;
decltype(&ChooseFontW) g_realChooseFont = nullptr;

BOOL WINAPI spyChooseFont(LPCHOOSEFONTW choice) {
    FontDialogCall call;
    call.choice = *choice;
    if (choice->lpLogFont) {
        call.font = *choice->lpLogFont;
    }
    call.result = g_realChooseFont(choice);
    if (choice->lpLogFont) {
        call.chosen = *choice->lpLogFont;
    }
    call.chosenColour = choice->rgbColors;
    g_fontCalls.push_back(call);
    return call.result;
}

class FontDialogSpy {
  public:
    explicit FontDialogSpy(HMODULE module) : module_(module) {
        g_fontCalls.clear();
        g_realChooseFont = reinterpret_cast<decltype(&ChooseFontW)>(patchImport(
            module, "comdlg32.dll", "ChooseFontW", reinterpret_cast<void*>(&spyChooseFont)));
    }
    ~FontDialogSpy() {
        if (g_realChooseFont) {
            patchImport(module_, "comdlg32.dll", "ChooseFontW",
                        reinterpret_cast<void*>(g_realChooseFont));
        }
    }
    bool ok() const { return g_realChooseFont != nullptr; }

  private:
    HMODULE module_;
};

//--- The fixture: the DLL, a host, an active host window

class Editor : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(plugin.ok());
        host.connect(plugin);
        SetActiveWindow(owner.main());
        pumpMessages();
    }

    int edit(int id, host::Params& params, std::vector<Step> steps) {
        UserScript script{editor::findDialog(id) ? titleOf(id) : L"-", std::move(steps)};
        const int result = runDialog(script, [&] { return plugin.editAction(id, params.data()); });
        ticks = script.ticks;
        return result;
    }

    static std::wstring titleOf(int id) {
        const char16_t* t = editor::findDialog(id)->title;
        return std::wstring(t, t + std::char_traits<char16_t>::length(t));
    }

    host::PluginModule plugin{L"canvas.nbp"};
    host::Host host;
    HostScene owner{100, 80, 700, 500, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE};
    size_t ticks = 0;
};

std::wstring wide(const char16_t* t) {
    return std::wstring(t, t + std::char_traits<char16_t>::length(t));
}

// The slots' addresses and texts, to tell "untouched" from "rewritten".
struct Snapshot {
    std::vector<host::HostString> pointers;
    std::vector<std::string> texts;
};
Snapshot snapshot(const host::Params& p) {
    Snapshot s;
    for (size_t i = 0; i < p.size(); ++i) {
        s.pointers.push_back(p.slot(i));
        s.texts.push_back(p.text(i));
    }
    return s;
}

// Counts the windows the thread creates while it lives.
class CreationCounter {
  public:
    CreationCounter() {
        count_ = 0;
        hook_ = SetWindowsHookExW(WH_CBT, &onCbt, nullptr, GetCurrentThreadId());
    }
    ~CreationCounter() { UnhookWindowsHookEx(hook_); }
    int count() const { return count_; }

  private:
    static LRESULT CALLBACK onCbt(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_CREATEWND) {
            ++count_;
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static int count_;
    HHOOK hook_;
};
int CreationCounter::count_ = 0;

//--- Layout

TEST_F(Editor, EachDialogIsBuiltFromItsTableCentredOnTheActiveHostWindow) {
    const char* texts[] = {"Rect\xE1ngulo 1", "p1", "p2", "p3", "p4", "p5", "p6"};
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        const editor::DialogLayout& layout = *editor::findDialog(id);
        host::Params params(std::vector<const char*>(texts, texts + 7));
        std::vector<std::wstring> problems;
        RECT client{}, frame{};
        HWND dialogOwner = nullptr;
        std::vector<int> childOrder;
        const int result =
            edit(id, params,
                 {[&](HWND d) {
                      GetClientRect(d, &client);
                      GetWindowRect(d, &frame);
                      dialogOwner = GetWindow(d, GW_OWNER);
                      for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                          childOrder.push_back(GetDlgCtrlID(c));
                      }
                      for (size_t i = 0; i < layout.rowCount; ++i) {
                          const editor::ControlRow& row = layout.rows[i];
                          HWND c = item(d, row.number);
                          RECT r{};
                          GetWindowRect(c, &r);
                          MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
                          const RECT want{row.x, row.y, row.x + row.width, row.y + row.height};
                          std::wstring text = wide(row.text);
                          if (row.slot != editor::NO_SLOT) {
                              text = host::wide(texts[row.slot]);
                          }
                          wchar_t cls[16] = {};
                          GetClassNameW(c, cls, 16);
                          const wchar_t* kinds[] = {L"Static", L"Edit", L"Button"};
                          if (!(r == want) || textOf(c) != text ||
                              lstrcmpiW(cls, kinds[static_cast<int>(row.kind)])) {
                              problems.push_back(std::to_wstring(row.number) + L" " + cls + L" " +
                                                 textOf(c));
                          }
                      }
                  },
                  click(editor::CONTROL_CANCEL)});
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(problems.empty())
            << layout.actionId << ": " << problems.size() << " controls differ, first "
            << (problems.empty() ? "" : host::ansi(problems[0]));
        EXPECT_EQ(client, (RECT{0, 0, editor::DIALOG_WIDTH, layout.height}));
        EXPECT_EQ(dialogOwner, owner.main());
        RECT o{};
        GetWindowRect(owner.main(), &o);
        EXPECT_EQ(frame.left, o.left + ((o.right - o.left) - (frame.right - frame.left)) / 2);
        EXPECT_EQ(frame.top, o.top + ((o.bottom - o.top) - (frame.bottom - frame.top)) / 2);
        std::vector<int> tableOrder;
        for (size_t i = 0; i < layout.rowCount; ++i) {
            tableOrder.push_back(layout.rows[i].number);
        }
        EXPECT_EQ(childOrder, tableOrder) << "created in table order, nothing else";
        EXPECT_EQ(FindWindowW(nullptr, titleOf(id).c_str()), nullptr) << "closed on return";
        EXPECT_EQ(GetActiveWindow(), owner.main()) << "the host window is active again";
    }
}

TEST_F(Editor, NotAnActionOrNoArrayShowsNothingAndTouchesNothing) {
    GlobalSpy spy(plugin.handle());
    ASSERT_TRUE(spy.ok());
    host::Params params({"a", "b", "c", "d", "e", "f", "g"});
    const Snapshot before = snapshot(params);
    CreationCounter windows;
    for (int id : {0, canvas::LAST_ACTION_ID + 1, -1, 0x10001}) {
        EXPECT_EQ(plugin.editAction(id, params.data()), 0) << id;
    }
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        EXPECT_EQ(plugin.editAction(id, nullptr), 0) << id;
    }
    EXPECT_EQ(windows.count(), 0);
    EXPECT_TRUE(spy.allocated.empty());
    EXPECT_TRUE(spy.freed.empty());
    EXPECT_EQ(snapshot(params).pointers, before.pointers);
}

//--- "OK", "Cancelar", the close box

TEST_F(Editor, OkRewritesEverySlotOfTheActionWithAFreshCopyAndNoOther) {
    const char* texts[] = {"Rect\xE1ngulo 1", "10", "", "abc", "$0000FF", "x", "Arial,12,B"};
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        for (bool allNull : {true, false}) {
            std::vector<const char*> slots(texts, texts + 7);
            if (allNull) {
                slots.assign(7, nullptr);
            }
            slots.push_back("beyond"); // one slot more than any action has
            host::Params params(slots);
            const Snapshot before = snapshot(params);
            GlobalSpy spy(plugin.handle());
            ASSERT_TRUE(spy.ok());
            EXPECT_EQ(edit(id, params, {click(editor::CONTROL_OK)}), 1);
            const int slotCount = canvas::findAction(id)->paramCount;
            EXPECT_EQ(static_cast<int>(spy.allocated.size()), slotCount) << id;
            for (size_t i = 0; i < params.size(); ++i) {
                const bool ofAction = static_cast<int>(i) < slotCount;
                host::HostString now = params.slot(i);
                if (!ofAction) {
                    EXPECT_EQ(now, before.pointers[i]) << id << " slot " << i << " is not read";
                    EXPECT_EQ(spy.timesFreed(now), 0);
                    continue;
                }
                ASSERT_NE(now, nullptr) << id << " slot " << i;
                // Freed first, then allocated: the heap may hand back the
                // same address, so freshness shows in the spy's records.
                EXPECT_EQ(params.text(i), before.texts[i]) << id << " slot " << i;
                EXPECT_EQ(GlobalSize(GlobalHandle(now)), before.texts[i].size() + 1);
                EXPECT_EQ(std::count(spy.allocated.begin(), spy.allocated.end(), now), 1);
                if (before.pointers[i]) {
                    EXPECT_EQ(spy.timesFreed(before.pointers[i]), 1) << "the old one, once";
                }
            }
            EXPECT_EQ(spy.freed.size(),
                      allNull ? 0u : static_cast<size_t>(slotCount)); // nothing else
        }
    }
}

TEST_F(Editor, CancelarAndEveryCloseLeaveTheSlotsAsTheyWere) {
    host.answer = [](int command, host::HostString* slot) {
        host::freeString(*slot);
        *slot = host::allocString(command == 1 ? "otro" : "$00FF00");
        return 1;
    };
    struct Way {
        const char* name;
        Step step;
    };
    const Way ways[] = {
        {"Cancelar", click(editor::CONTROL_CANCEL)},
        {"WM_CLOSE", post(WM_CLOSE)},
        {"close box", post(WM_SYSCOMMAND, SC_CLOSE)},
        {"Alt+F4", post(WM_SYSKEYDOWN, VK_F4, 0x20000001)},
    };
    for (const Way& way : ways) {
        host::Params params({"Lienzo", "1", "2", "3", "255"});
        const Snapshot before = snapshot(params);
        GlobalSpy spy(plugin.handle());
        std::wstring typed;
        const int result = edit(2, params,
                                {setText(14, L"99"), click(3), click(17),
                                 [&](HWND d) {
                                     typed = textOf(item(d, 2)) + L"|" + textOf(item(d, 14)) +
                                             L"|" + textOf(item(d, 16));
                                 },
                                 way.step});
        EXPECT_EQ(result, 0) << way.name;
        EXPECT_EQ(typed, L"otro|99|$00FF00") << way.name << ": the picks reached the fields";
        EXPECT_EQ(ticks, 5u) << way.name << " ended it";
        const Snapshot after = snapshot(params);
        EXPECT_EQ(after.pointers, before.pointers) << way.name;
        EXPECT_EQ(after.texts, before.texts) << way.name;
        for (host::HostString s : before.pointers) {
            EXPECT_EQ(spy.timesFreed(s), 0) << way.name;
        }
        EXPECT_EQ(FindWindowW(nullptr, L"Configurar DrawCircle"), nullptr);
    }
}

TEST_F(Editor, FieldsStoreWhatWasTypedWithoutChecking) {
    host::Params params({nullptr, nullptr, nullptr, nullptr, nullptr});
    const auto type = [](int control, const wchar_t* text) {
        return [control, text](HWND d) {
            HWND edit = item(d, control);
            for (const wchar_t* c = text; *c; ++c) {
                PostMessageW(edit, WM_CHAR, *c, 1);
            }
        };
    };
    EXPECT_EQ(edit(2, params,
                   {type(14, L"abc"), setText(10, L"12.9"), setText(12, L"Rect\u00e1ngulo"),
                    type(2, L"  Lienzo 1 "), setText(16, L"#FF0000"), click(editor::CONTROL_OK)}),
              1);
    EXPECT_EQ(params.text(0), "  Lienzo 1 ");
    EXPECT_EQ(params.text(1), "12.9");
    EXPECT_EQ(params.text(2), "Rect\xE1ngulo") << "ANSI bytes, code page 1252";
    EXPECT_EQ(params.text(3), "abc");
    EXPECT_EQ(params.text(4), "#FF0000");
}

//--- Picks through the host

TEST_F(Editor, ObjectPickFillsTheObjectFieldAndEachStringIsFreedOnceByItsOwner) {
    struct Case {
        const char* name;
        int result;
        const char* reply;    // put in the slot by the host (null: slot set to null)
        bool keepRequest;     // the host leaves its request in the slot
        const wchar_t* field; // field 2 afterwards
    };
    const Case cases[] = {
        {"answered", 1, "Rect\xE1ngulo 2", false, L"Rect\u00e1ngulo 2"},
        {"answered with null", 1, nullptr, false, L"antes"},
        {"not answered", 0, nullptr, true, L"antes"},
        {"not answered, slot swapped", 0, "basura", false, L"antes"},
    };
    for (const Case& c : cases) {
        for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
            host::HostString request = nullptr, reply = nullptr;
            std::string requestText;
            bool requestFreedByHost = false;
            host.calls.clear();
            host.answer = [&](int, host::HostString* slot) {
                request = *slot;
                requestText = *slot ? *slot : "(null)";
                if (!c.keepRequest) {
                    // The host swaps the slot: the request is its to free.
                    reply = c.reply ? host::allocString(c.reply) : nullptr;
                    host::freeString(*slot);
                    requestFreedByHost = true;
                    *slot = reply;
                }
                return c.result;
            };
            host::Params params({"antes", "a", "b", "c", "d", "e", "f"});
            GlobalSpy spy(plugin.handle());
            std::wstring field;
            edit(id, params,
                 {click(editor::CONTROL_OBJECT_PICK),
                  [&](HWND d) { field = textOf(item(d, editor::CONTROL_OBJECT_FIELD)); },
                  click(editor::CONTROL_CANCEL)});
            SCOPED_TRACE(std::string(c.name) + ", action " + std::to_string(id));
            ASSERT_EQ(host.calls.size(), 1u);
            EXPECT_EQ(host.calls[0].command, 1);
            EXPECT_EQ(requestText, "ObjectType=4");
            EXPECT_EQ(std::count(spy.allocated.begin(), spy.allocated.end(), request), 1)
                << "the plug-in made the request";
            EXPECT_EQ(field, c.field);
            EXPECT_EQ(spy.timesFreed(request), requestFreedByHost ? 0 : 1);
            if (reply) {
                EXPECT_EQ(spy.timesFreed(reply), 1) << "the plug-in frees what the slot holds";
            }
            EXPECT_EQ(spy.freed.size(), (requestFreedByHost ? 0u : 1u) + (reply ? 1u : 0u));
        }
    }
}

TEST_F(Editor, ColourPicksFillTheirOwnFieldWithTheRepliedTextAsItIs) {
    struct Case {
        int id, button, field;
    };
    const Case cases[] = {{1, 8, 7}, {2, 17, 16}, {4, 26, 25}, {4, 29, 28}};
    for (const Case& c : cases) {
        host::HostString reply = nullptr;
        host.calls.clear();
        host.answer = [&](int, host::HostString* slot) {
            *slot = reply = host::allocString(" $00ff80 ");
            return 1;
        };
        host::Params params({"o", "1", "2", "3", "4", "5", "6"});
        GlobalSpy spy(plugin.handle());
        std::vector<std::wstring> fields;
        const editor::DialogLayout& layout = *editor::findDialog(c.id);
        EXPECT_EQ(edit(c.id, params,
                       {click(c.button),
                        [&](HWND d) {
                            for (size_t i = 0; i < layout.rowCount; ++i) {
                                if (layout.rows[i].kind == editor::ControlKind::Edit) {
                                    fields.push_back(textOf(item(d, layout.rows[i].number)));
                                }
                            }
                        },
                        click(editor::CONTROL_OK)}),
                  1);
        SCOPED_TRACE("button " + std::to_string(c.button));
        ASSERT_EQ(host.calls.size(), 1u);
        EXPECT_EQ(host.calls[0].command, 10);
        EXPECT_EQ(host.calls[0].request, nullptr) << "a colour pick asks with an empty slot";
        EXPECT_EQ(spy.timesFreed(reply), 1);
        const int slot = editor::findControl(layout, c.field)->slot;
        for (size_t i = 0; i < fields.size(); ++i) {
            const std::string want =
                static_cast<int>(i) == slot ? " $00ff80 " : std::string(params.text(i));
            EXPECT_EQ(host::ansi(fields[i]), want) << "field of slot " << i;
        }
        EXPECT_EQ(params.text(static_cast<size_t>(slot)), " $00ff80 ");
    }
}

TEST_F(Editor, AColourPickTheHostDoesNotAnswerChangesNothingAndFreesNothing) {
    struct Case {
        const char* name;
        int result;
        bool putString;
    };
    const Case cases[] = {{"0, slot untouched", 0, false},
                          {"0, a string left in the slot", 0, true},
                          {"answered with null", 1, false}};
    for (const Case& c : cases) {
        host::HostString left = nullptr;
        host.answer = [&](int, host::HostString* slot) {
            if (c.putString) {
                *slot = left = host::allocString("$FFFFFF");
            }
            return c.result;
        };
        host::Params params({"o", "$0000FF"});
        GlobalSpy spy(plugin.handle());
        std::wstring field;
        edit(
            1, params,
            {click(8), [&](HWND d) { field = textOf(item(d, 7)); }, click(editor::CONTROL_CANCEL)});
        EXPECT_EQ(field, L"$0000FF") << c.name;
        EXPECT_TRUE(spy.freed.empty()) << c.name << ": the slot is not looked at";
        host::freeString(left);
    }
}

TEST_F(Editor, WithoutTheHostsCallbackThePicksDoNothing) {
    plugin.registerInterfaceAccess(nullptr);
    host.calls.clear();
    host::Params params({"o", "t", "1", "2", "$0000FF", "0", "Arial,12,"});
    GlobalSpy spy(plugin.handle());
    std::wstring fields;
    edit(4, params,
         {click(3), click(26), click(29),
          [&](HWND d) {
              fields = textOf(item(d, 2)) + L"|" + textOf(item(d, 25)) + L"|" + textOf(item(d, 28));
          },
          click(editor::CONTROL_CANCEL)});
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(fields, L"o|$0000FF|0");
    EXPECT_TRUE(spy.allocated.empty()) << "not even a request was made";
}

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
              [&](HWND d) { after = textOf(item(d, 31)) + L"|" + textOf(item(d, 25)); },
              click(editor::CONTROL_CANCEL)});
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

// The dialog lists the installed faces and, in the prefixes ./run makes, the
// Windows names served by stand-ins ("Arial" by Liberation Sans). What it
// returns is read off the dialog itself just before its "OK" is pressed,
// and for the faces here it is exactly what it opened on.
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
        FontChoice shown;
        std::wstring font, colour;
        const int result =
            edit(4, params,
                 {click(editor::CONTROL_FONT_PICK),
                  [&](HWND d) {
                      HWND f = fontDialogOf(d);
                      ASSERT_NE(f, nullptr);
                      if (c.pickColour != CLR_INVALID) {
                          HWND colours = GetDlgItem(f, cmb4);
                          const int n = static_cast<int>(SendMessageW(colours, CB_GETCOUNT, 0, 0));
                          for (int i = 0; i < n; ++i) {
                              if (static_cast<COLORREF>(SendMessageW(colours, CB_GETITEMDATA, i,
                                                                     0)) == c.pickColour) {
                                  SendMessageW(colours, CB_SETCURSEL, i, 0);
                              }
                          }
                          SendMessageW(f, WM_COMMAND, MAKEWPARAM(cmb4, CBN_SELCHANGE),
                                       reinterpret_cast<LPARAM>(colours));
                      }
                      if (c.strikeOut) {
                          SendMessageW(GetDlgItem(f, chx1), BM_CLICK, 0, 0);
                      }
                      shown = readFontDialog(f);
                      SendMessageW(item(f, IDOK), BM_CLICK, 0, 0);
                  },
                  [&](HWND d) {
                      font = textOf(item(d, editor::CONTROL_FONT_FIELD));
                      colour = textOf(item(d, editor::CONTROL_TEXT_COLOUR_FIELD));
                  },
                  click(editor::CONTROL_OK)});
        EXPECT_EQ(result, 1);
        ASSERT_EQ(g_fontCalls.size(), 1u);
        const FontDialogCall& call = g_fontCalls[0];
        ASSERT_TRUE(call.result);
        // What the dialog showed is what it returned.
        EXPECT_STREQ(call.chosen.lfFaceName, shown.font.lfFaceName);
        EXPECT_EQ(call.chosen.lfHeight, shown.font.lfHeight);
        EXPECT_EQ(call.chosenColour, shown.colour);
        if (c.pickColour != CLR_INVALID) {
            EXPECT_EQ(shown.colour, c.pickColour);
        }
        EXPECT_EQ(call.chosen.lfStrikeOut != 0, c.strikeOut);
        std::wstring want = std::wstring(shown.font.lfFaceName) + L"," +
                            std::to_wstring(std::abs(MulDiv(shown.font.lfHeight, 72, 96))) + L",";
        if (shown.font.lfWeight >= 700) {
            want += L"B";
        }
        if (shown.font.lfItalic) {
            want += L"I";
        }
        if (shown.font.lfUnderline) {
            want += L"U";
        }
        EXPECT_EQ(font, want);
        EXPECT_EQ(colour, std::to_wstring(static_cast<int32_t>(shown.colour)));
        EXPECT_EQ(parseColor(textFromWide(colour.c_str())), shown.colour) << "reads back";
        EXPECT_EQ(params.text(6), host::ansi(font));
        EXPECT_EQ(params.text(4), host::ansi(colour));
        if (c.exactFont) {
            EXPECT_EQ(params.text(6), c.exactFont);
            EXPECT_EQ(params.text(4), c.exactColour);
        }
    }
}

//--- Keyboard, the host's windows, the ways a dialog ends early

// With keyboard cues off a window hides its focus rectangles until a key
// moves the focus; the dialog manager then sends the top-level window
// WM_CHANGEUISTATE(UIS_CLEAR, UISF_HIDEFOCUS) before the move. (Wine keeps
// no such state, WM_QUERYUISTATE always answers 0 there: the dialog's
// procedure records the message and where the focus was when it came.)
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
            BYTE keys[256] = {};
            keys[VK_SHIFT] = shift ? 0x80 : 0;
            SetKeyboardState(keys);
            PostMessageW(GetFocus() ? GetFocus() : d, WM_KEYDOWN, VK_TAB, 0x000F0001);
        };
    };
    std::vector<Step> steps{[](HWND d) {
        SetForegroundWindow(d);
        SetActiveWindow(d);
        SetFocus(d);
        g_dialogProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(d, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordUiChanges)));
    }};
    for (int i = 0; i < 14; ++i) {
        steps.push_back(tab(false, &forward));
    }
    for (int i = 0; i < 3; ++i) {
        steps.push_back(tab(true, &backward));
    }
    steps.push_back([&](HWND d) {
        backward.push_back(GetDlgCtrlID(GetFocus()));
        BYTE keys[256] = {};
        SetKeyboardState(keys);
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
    const int result =
        edit(1, params,
             {[&](HWND d) {
                  before = d;
                  nested = plugin.editAction(2, other.data());
                  about = plugin.about();
              },
              [&](HWND d) {
                  after = d;
                  SendMessageW(item(d, 7), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"255"));
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

//--- The glue linked into this program: its own toolkit, its own windows

class LinkedEditor : public ::testing::Test {
  protected:
    void TearDown() override {
        for (int n : canvases) {
            UiCloseWindow(n);
        }
        pumpMessages();
        takeEvents();
    }
    // A window like a canvas's: generated number, no caption, no dialog.
    int openCanvas() {
        const int n =
            static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, 60, 40, u"", UI_FLAGS_CANVAS, nullptr));
        canvases.push_back(n);
        return n;
    }
    int edit(int id, host::Params& params, std::vector<Step> steps) {
        UserScript script{L"Configurar ClearCanvas", std::move(steps)};
        const int result = runDialog(script, [&] { return plugin::editAction(id, params.data()); });
        ticks = script.ticks;
        return result;
    }
    std::vector<int> canvases;
    size_t ticks = 0;
};

TEST_F(LinkedEditor, EventsOfOtherWindowsWaitingInTheQueuePressNothing) {
    const int canvas = openCanvas();
    const int button = static_cast<int>(UiAddButton(UI_ANY, 0, 0, 20, 20, u""));
    // A click nobody read, and the canvas's own close, wait in the queue.
    SendMessageW(UiControlHandle(button), BM_CLICK, 0, 0);
    SendMessageW(UiWindowHandle(canvas), WM_CLOSE, 0, 0);
    ASSERT_EQ(ui::eventQueue().size(), 2u);
    host::Params params({"o"});
    EXPECT_EQ(edit(3, params, {pause, pause, click(editor::CONTROL_OK)}), 1);
    EXPECT_EQ(ticks, 3u) << "the dialog stayed until its own OK";
    EXPECT_TRUE(UiIsWindow(canvas));
}

TEST_F(LinkedEditor, EveryZeroOfTheEditorHasItsLine) {
    host::Params params({"o"});
    EXPECT_EQ(edit(3, params, {click(editor::CONTROL_CANCEL)}), 0);
    EXPECT_EQ(canvas::lastFailureLine(),
              u"_nbEditAction: se cerró el diálogo de kiv_ClearCanvas sin \"OK\"");
    Text nested;
    EXPECT_EQ(edit(3, params, {[&](HWND d) {
                       host::Params other({"o"});
                       EXPECT_EQ(plugin::editAction(3, other.data()), 0);
                       nested = canvas::lastFailureLine();
                       SendMessageW(item(d, editor::CONTROL_OK), BM_CLICK, 0, 0);
                   }}),
              1);
    EXPECT_EQ(nested, u"_nbEditAction: ya hay otro diálogo abierto");
}

TEST_F(LinkedEditor, AQuitReportedAgainstANewerWindowStillEndsTheDialog) {
    // The host opens a canvas while the dialog is up (its windows keep
    // working), so the quit arrives as the close of that canvas window.
    host::Params params({"o"});
    const int result = edit(3, params, {[&](HWND) {
                                openCanvas();
                                PostQuitMessage(5);
                            }});
    EXPECT_EQ(result, 0);
    WPARAM exitCode = 0;
    ASSERT_TRUE(takeQuit(&exitCode));
    EXPECT_EQ(exitCode, 5u);
    EXPECT_FALSE(UiIsWindow(editor::DIALOG_WINDOW));
}

//--- The reference host's edit command on the real dialogs

TEST(HostEditCommand, ShowsTheDialogAndPrintsTheSlotsItGetsBack) {
    host::PluginModule plugin{L"canvas.nbp"};
    ASSERT_TRUE(plugin.ok());
    std::vector<std::string> out, err;
    host::App app(plugin, {[&](const std::string& s) { out.push_back(s); },
                           [&](const std::string& s) { err.push_back(s); }});
    app.connect();
    ASSERT_TRUE(app.openMainWindow());
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::wstring shot =
        std::wstring(dir) + L"editor-" + std::to_wstring(GetCurrentProcessId()) + L".png";
    // The last slot of the circle is left out: a null slot, which "OK"
    // turns into an empty string.
    const host::Script script = host::parseScript(
        "object R 10 10 200 100\n"
        "edit kiv_DrawCircle R 1 2 abc close=ok\n"
        "edit kiv_ClearCanvas \"Rect\xC3\xA1ngulo\" capture=\"" +
        host::utf16ToUtf8(std::u16string(shot.begin(), shot.end())) + "\" close=cancel\n");
    ASSERT_TRUE(script.ok());
    out.clear();
    {
        const ModalGuard guard;
        EXPECT_TRUE(app.check(script) && app.run(script));
    }
    EXPECT_TRUE(err.empty()) << err.front();
    EXPECT_EQ(
        out, (std::vector<std::string>{"edit kiv_DrawCircle -> 1", "  0: \"R\"", "  1: \"1\"",
                                       "  2: \"2\"", "  3: \"abc\"", "  4: \"\"",
                                       "edit kiv_ClearCanvas -> 0", "  0: \"Rect\xC3\xA1ngulo\""}));
    EXPECT_NE(GetFileAttributesW(shot.c_str()), INVALID_FILE_ATTRIBUTES) << "captured";
    DeleteFileW(shot.c_str());
    app.close();
}

} // namespace
