// The editor, continued: the glue linked into this program, and the
// reference host's edit command on the real dialogs.
#include "tests/win/test_editor/editor_tests.h"
#include "tests/win/support/processes.h"

using namespace editortests;

namespace {

//--- The glue linked into this program: its own toolkit, its own windows

class LinkedEditor : public ::testing::Test {
  protected:
    int edit(int id, host::Params& params, std::vector<Step> steps) {
        UserScript script{L"Configurar ClearCanvas", std::move(steps)};
        const int result = runDialog(script, [&] { return plugin::editAction(id, params.data()); });
        ticks = script.ticks;
        return result;
    }
    TestWindows canvases;
    size_t ticks = 0;
};

TEST_F(LinkedEditor, EventsOfOtherWindowsWaitingInTheQueuePressNothing) {
    const int canvas = canvases.openWithWaitingEvents();
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
                                canvases.open();
                                PostQuitMessage(5);
                            }});
    EXPECT_EQ(result, 0);
    WPARAM exitCode = 0;
    ASSERT_TRUE(takeQuit(&exitCode));
    EXPECT_EQ(exitCode, 5u);
    EXPECT_FALSE(UiIsWindow(editor::DIALOG_WINDOW));
}

//--- The reference host's edit command on the real dialogs

class HostEditCommand : public HostAppTest {};

TEST_F(HostEditCommand, ShowsTheDialogAndPrintsTheSlotsItGetsBack) {
    const std::wstring shot = tempPath(L"editor.png");
    // The last slot of the circle is left out: a null slot, which "OK"
    // turns into an empty string.
    captured.out.clear();
    EXPECT_TRUE(run("object R 10 10 200 100\n"
                    "edit kiv_DrawCircle R 1 2 abc close=ok\n"
                    "edit kiv_ClearCanvas \"Rect\xC3\xA1ngulo\" capture=\"" +
                    host::utf8FromWide(shot) + "\" close=cancel\n"));
    EXPECT_EQ(captured.errors(), "");
    EXPECT_EQ(captured.out, (std::vector<std::string>{"edit kiv_DrawCircle -> 1", "  0: \"R\"",
                                                      "  1: \"1\"", "  2: \"2\"", "  3: \"abc\"",
                                                      "  4: \"\"", "edit kiv_ClearCanvas -> 0",
                                                      "  0: \"Rect\xC3\xA1ngulo\""}));
    EXPECT_NE(GetFileAttributesW(shot.c_str()), INVALID_FILE_ATTRIBUTES) << "captured";
    DeleteFileW(shot.c_str());
    app.close();
}
} // namespace
