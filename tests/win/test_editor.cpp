// The parameter dialogs behind the DLL's _nbEditAction, driven as the host's
// user drives them while the dialog's own loop runs: a thread timer finds the
// dialog by its title and plays one step a tick, a host::Host answers the
// plug-in's picks and a GlobalSpy on the DLL tells who freed which string.
#include "tests/win/test_editor/editor_tests.h"

using namespace editortests;

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

//--- Layout

TEST_F(Editor, EachDialogIsBuiltFromItsTableCentredOnTheActiveHostWindow) {
    const char* texts[] = {"Rect\xE1ngulo 1", "p1", "p2", "p3", "p4", "p5", "p6"};
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        const editor::DialogLayout& layout = *editor::findDialog(id);
        host::Params params(std::vector<const char*>(texts, texts + 7));
        std::vector<std::wstring> problems;
        Placement shown;
        std::vector<int> childOrder, tableOrder;
        const int result =
            edit(id, params,
                 {[&](HWND d) {
                      shown = placementOf(d);
                      for (HWND c : childWindows(d)) {
                          childOrder.push_back(GetDlgCtrlID(c));
                      }
                      for (size_t i = 0; i < layout.rowCount; ++i) {
                          const editor::ControlRow& row = layout.rows[i];
                          tableOrder.push_back(row.number);
                          HWND c = item(d, row.number);
                          const RECT want{row.x, row.y, row.x + row.width, row.y + row.height};
                          const std::wstring text = row.slot != editor::NO_SLOT
                                                        ? host::wide(texts[row.slot])
                                                        : wide(row.text);
                          const wchar_t* kinds[] = {L"Static", L"Edit", L"Button"};
                          const std::wstring cls = windowClass(c);
                          if (!(rectIn(c, d) == want) || windowText(c) != text ||
                              lstrcmpiW(cls.c_str(), kinds[static_cast<int>(row.kind)])) {
                              problems.push_back(std::to_wstring(row.number) + L" " + cls + L" " +
                                                 windowText(c));
                          }
                      }
                  },
                  click(editor::CONTROL_CANCEL)});
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(problems.empty())
            << layout.actionId << ": " << problems.size() << " controls differ, first "
            << (problems.empty() ? "" : host::ansi(problems[0]));
        EXPECT_EQ(shown.client, (RECT{0, 0, editor::DIALOG_WIDTH, layout.height}));
        EXPECT_EQ(shown.owner, owner.main());
        EXPECT_EQ(shown.frame, centredOver(owner.main(), shown.frame));
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
    EXPECT_EQ(windows.count, 0);
    EXPECT_TRUE(spy.allocated.empty());
    EXPECT_TRUE(spy.freed.empty());
    EXPECT_EQ(snapshot(params).pointers, before.pointers);
}

//--- "OK", "Cancelar", the close box

TEST_F(Editor, OkRewritesEverySlotOfTheActionWithAFreshCopyAndNoOther) {
    const char* texts[] = {"Rect\xE1ngulo 1", "10", "", "abc", "$0000FF", "x", "Arial,12,B"};
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        for (bool allNull : {true, false}) {
            std::vector<const char*> slots = allNull ? std::vector<const char*>(7, nullptr)
                                                     : std::vector<const char*>(texts, texts + 7);
            slots.push_back("beyond"); // one slot more than any action has
            host::Params params(slots);
            const Snapshot before = snapshot(params);
            GlobalSpy spy(plugin.handle());
            ASSERT_TRUE(spy.ok());
            EXPECT_EQ(edit(id, params, {click(editor::CONTROL_OK)}), 1);
            const int slotCount = canvas::findAction(id)->paramCount;
            EXPECT_EQ(static_cast<int>(spy.allocated.size()), slotCount) << id;
            for (size_t i = 0; i < params.size(); ++i) {
                host::HostString now = params.slot(i);
                if (static_cast<int>(i) >= slotCount) { // not one of the action's
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
    const std::pair<const char*, Step> ways[] = {
        {"Cancelar", click(editor::CONTROL_CANCEL)},
        {"WM_CLOSE", post(WM_CLOSE)},
        {"close box", post(WM_SYSCOMMAND, SC_CLOSE)},
        {"Alt+F4", post(WM_SYSKEYDOWN, VK_F4, 0x20000001)},
    };
    for (const auto& [name, ending] : ways) {
        host::Params params({"Lienzo", "1", "2", "3", "255"});
        const Snapshot before = snapshot(params);
        GlobalSpy spy(plugin.handle());
        std::wstring typed;
        const int result =
            edit(2, params,
                 {setText(14, L"99"), click(3), click(17), readFields(typed, {2, 14, 16}), ending});
        EXPECT_EQ(result, 0) << name;
        EXPECT_EQ(typed, L"otro|99|$00FF00") << name << ": the picks reached the fields";
        EXPECT_EQ(ticks, 5u) << name << " ended it";
        const Snapshot after = snapshot(params);
        EXPECT_EQ(after.pointers, before.pointers) << name;
        EXPECT_EQ(after.texts, before.texts) << name;
        for (host::HostString s : before.pointers) {
            EXPECT_EQ(spy.timesFreed(s), 0) << name;
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
    EXPECT_EQ(snapshot(params).texts,
              (std::vector<std::string>{"  Lienzo 1 ", "12.9", "Rect\xE1ngulo", "abc", "#FF0000"}))
        << "the accented text in ANSI bytes, code page 1252";
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
            host.calls.clear();
            host.answer = [&](int, host::HostString* slot) {
                request = *slot;
                requestText = *slot ? *slot : "(null)";
                if (!c.keepRequest) {
                    // The host swaps the slot: the request is its to free.
                    reply = c.reply ? host::allocString(c.reply) : nullptr;
                    host::freeString(*slot);
                    *slot = reply;
                }
                return c.result;
            };
            host::Params params({"antes", "a", "b", "c", "d", "e", "f"});
            GlobalSpy spy(plugin.handle());
            std::wstring field;
            edit(id, params,
                 {click(editor::CONTROL_OBJECT_PICK),
                  readFields(field, {editor::CONTROL_OBJECT_FIELD}),
                  click(editor::CONTROL_CANCEL)});
            SCOPED_TRACE(std::string(c.name) + ", action " + std::to_string(id));
            ASSERT_EQ(host.calls.size(), 1u);
            EXPECT_EQ(host.calls[0].command, 1);
            EXPECT_EQ(requestText, "ObjectType=4");
            EXPECT_EQ(std::count(spy.allocated.begin(), spy.allocated.end(), request), 1)
                << "the plug-in made the request";
            EXPECT_EQ(field, c.field);
            EXPECT_EQ(spy.timesFreed(request), c.keepRequest ? 1 : 0);
            if (reply) {
                EXPECT_EQ(spy.timesFreed(reply), 1) << "the plug-in frees what the slot holds";
            }
            EXPECT_EQ(spy.freed.size(), (c.keepRequest ? 1u : 0u) + (reply ? 1u : 0u));
        }
    }
}

TEST_F(Editor, ColourPicksFillTheirOwnFieldWithTheRepliedTextAsItIs) {
    const int cases[][3] = {{1, 8, 7}, {2, 17, 16}, {4, 26, 25}, {4, 29, 28}};
    for (const auto& [id, button, field] : cases) {
        host::HostString reply = nullptr;
        host.calls.clear();
        host.answer = [&](int, host::HostString* slot) {
            *slot = reply = host::allocString(" $00ff80 ");
            return 1;
        };
        host::Params params({"o", "1", "2", "3", "4", "5", "6"});
        GlobalSpy spy(plugin.handle());
        std::vector<std::wstring> fields;
        const editor::DialogLayout& layout = *editor::findDialog(id);
        EXPECT_EQ(edit(id, params,
                       {click(button),
                        [&](HWND d) {
                            for (size_t i = 0; i < layout.rowCount; ++i) {
                                if (layout.rows[i].kind == editor::ControlKind::Edit) {
                                    fields.push_back(windowText(item(d, layout.rows[i].number)));
                                }
                            }
                        },
                        click(editor::CONTROL_OK)}),
                  1);
        SCOPED_TRACE("button " + std::to_string(button));
        ASSERT_EQ(host.calls.size(), 1u);
        EXPECT_EQ(host.calls[0].command, 10);
        EXPECT_EQ(host.calls[0].request, nullptr) << "a colour pick asks with an empty slot";
        EXPECT_EQ(spy.timesFreed(reply), 1);
        const int slot = editor::findControl(layout, field)->slot;
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
        edit(1, params, {click(8), readFields(field, {7}), click(editor::CONTROL_CANCEL)});
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
         {click(3), click(26), click(29), readFields(fields, {2, 25, 28}),
          click(editor::CONTROL_CANCEL)});
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(fields, L"o|$0000FF|0");
    EXPECT_TRUE(spy.allocated.empty()) << "not even a request was made";
}
} // namespace
