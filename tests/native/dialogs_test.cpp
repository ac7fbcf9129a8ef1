#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "canvas/convert.h"
#include "editor/dialogs.h"
#include "host/utf8.h"
#include "canvas/action_table.h"

namespace {

using editor::ControlKind;
using editor::ControlRow;
using editor::DialogLayout;
using editor::Pick;

// One control as a line of text: "number kind text x,y,w,h slot pick>target".
std::string describe(const ControlRow& r) {
    const char* kinds[] = {"label", "edit", "button"};
    const char* picks[] = {"", "object", "colour", "font"};
    std::string s = std::to_string(r.number) + " " + kinds[static_cast<int>(r.kind)] + " \"" +
                    host::utf16ToUtf8(r.text) + "\" " + std::to_string(r.x) + "," +
                    std::to_string(r.y) + "," + std::to_string(r.width) + "," +
                    std::to_string(r.height);
    if (r.slot != editor::NO_SLOT) {
        s += " slot " + std::to_string(r.slot);
    }
    if (r.pick != Pick::None) {
        s += std::string(" ") + picks[static_cast<int>(r.pick)] + ">" + std::to_string(r.target);
    }
    return s;
}

std::vector<std::string> describe(const DialogLayout& d) {
    std::vector<std::string> out;
    for (size_t i = 0; i < d.rowCount; ++i) {
        out.push_back(describe(d.rows[i]));
    }
    return out;
}

TEST(Dialogs, LayoutsInCreationOrder) {
    struct Expected {
        const char* title;
        int height;
        std::vector<std::string> rows;
    };
    const Expected expected[] = {
        {"Configurar CreateCanvas",
         120,
         {"1 label \"Objeto Rectángulo:\" 10,15,120,20", "2 edit \"\" 140,10,230,25 slot 0",
          "3 button \"...\" 380,10,30,25 object>2", "6 label \"Color de Fondo:\" 10,55,120,20",
          "7 edit \"\" 140,50,230,25 slot 1", "8 button \"...\" 380,50,30,25 colour>7",
          "4 button \"OK\" 100,85,100,25", "5 button \"Cancelar\" 220,85,100,25"}},
        {"Configurar DrawCircle",
         240,
         {"1 label \"Lienzo:\" 10,15,120,20", "2 edit \"\" 140,10,230,25 slot 0",
          "3 button \"...\" 380,10,30,25 object>2", "9 label \"X:\" 10,55,120,20",
          "10 edit \"\" 140,50,270,25 slot 1", "11 label \"Y:\" 10,95,120,20",
          "12 edit \"\" 140,90,270,25 slot 2", "13 label \"Radio:\" 10,135,120,20",
          "14 edit \"\" 140,130,270,25 slot 3", "15 label \"Color:\" 10,175,120,20",
          "16 edit \"\" 140,170,230,25 slot 4", "17 button \"...\" 380,170,30,25 colour>16",
          "4 button \"OK\" 100,210,100,25", "5 button \"Cancelar\" 220,210,100,25"}},
        {"Configurar ClearCanvas",
         80,
         {"1 label \"Objeto Rectángulo:\" 10,15,120,20", "2 edit \"\" 140,10,230,25 slot 0",
          "3 button \"...\" 380,10,30,25 object>2", "4 button \"OK\" 100,45,100,25",
          "5 button \"Cancelar\" 220,45,100,25"}},
        {"Configurar DrawText",
         320,
         {"1 label \"Lienzo:\" 10,15,120,20",
          "2 edit \"\" 140,10,230,25 slot 0",
          "3 button \"...\" 380,10,30,25 object>2",
          "18 label \"Texto:\" 10,55,120,20",
          "19 edit \"\" 140,50,270,25 slot 1",
          "20 label \"X:\" 10,95,120,20",
          "21 edit \"\" 140,90,270,25 slot 2",
          "22 label \"Y:\" 10,135,120,20",
          "23 edit \"\" 140,130,270,25 slot 3",
          "24 label \"Color Texto:\" 10,175,120,20",
          "25 edit \"\" 140,170,230,25 slot 4",
          "26 button \"...\" 380,170,30,25 colour>25",
          "27 label \"Color Fondo:\" 10,215,120,20",
          "28 edit \"\" 140,210,230,25 slot 5",
          "29 button \"...\" 380,210,30,25 colour>28",
          "30 label \"Fuente:\" 10,255,120,20",
          "31 edit \"\" 140,250,230,25 slot 6",
          "32 button \"...\" 380,250,30,25 font>31",
          "4 button \"OK\" 100,285,100,25",
          "5 button \"Cancelar\" 220,285,100,25"}},
    };
    ASSERT_EQ(std::size(expected), static_cast<size_t>(canvas::ACTION_COUNT));
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        const DialogLayout* d = editor::findDialog(id);
        ASSERT_NE(d, nullptr) << id;
        const Expected& e = expected[id - 1];
        EXPECT_EQ(d->actionId, id);
        EXPECT_EQ(host::utf16ToUtf8(d->title), e.title);
        EXPECT_EQ(d->height, e.height);
        EXPECT_EQ(describe(*d), e.rows) << e.title;
    }
    for (int id : {0, -1, canvas::LAST_ACTION_ID + 1, 1000}) {
        EXPECT_EQ(editor::findDialog(id), nullptr) << id;
    }
}

// What holds for every dialog whatever its rows: a typo in one row shows
// here even where it would still match some other row of the table above.
TEST(Dialogs, EveryDialogCoversItsSlotsOnceAndStaysInsideItsWindow) {
    std::set<int> ownNumbers; // past "Cancelar", no two controls of the plug-in share one
    for (int id = 1; id <= canvas::ACTION_COUNT; ++id) {
        const DialogLayout& d = *editor::findDialog(id);
        std::set<int> numbers;
        std::vector<int> slots;
        int lastFieldTop = -1;
        for (size_t i = 0; i < d.rowCount; ++i) {
            const ControlRow& r = d.rows[i];
            EXPECT_TRUE(numbers.insert(r.number).second) << "control " << r.number << " twice";
            EXPECT_TRUE(r.number <= editor::CONTROL_CANCEL || ownNumbers.insert(r.number).second)
                << "control " << r.number << " in two dialogs";
            EXPECT_GE(r.number, 1);
            EXPECT_GE(r.x, 0);
            EXPECT_LE(r.x + r.width, editor::DIALOG_WIDTH) << r.number;
            EXPECT_LE(r.y + r.height, d.height) << r.number;
            if (r.kind == ControlKind::Edit) {
                slots.push_back(r.slot);
                EXPECT_GT(r.y, lastFieldTop) << "fields go down the window in Tab order";
                lastFieldTop = r.y;
                // Its label comes right before it, five pixels lower.
                ASSERT_GT(i, 0u);
                EXPECT_EQ(d.rows[i - 1].kind, ControlKind::Label);
                EXPECT_EQ(d.rows[i - 1].y, r.y + 5);
            } else {
                EXPECT_EQ(r.slot, editor::NO_SLOT);
            }
            if (r.pick != Pick::None) {
                EXPECT_EQ(r.kind, ControlKind::Button);
                const ControlRow* target = editor::findControl(d, r.target);
                ASSERT_NE(target, nullptr) << r.number;
                EXPECT_EQ(target->kind, ControlKind::Edit);
                EXPECT_EQ(target->y, r.y) << "a \"...\" sits beside its field";
                EXPECT_EQ(target->x + target->width + 10, r.x);
                EXPECT_EQ(&d.rows[i - 1], target) << "and follows it in Tab order";
            }
        }
        std::vector<int> inOrder;
        for (int s = 0; s < canvas::ACTIONS[id - 1].paramCount; ++s) {
            inOrder.push_back(s);
        }
        EXPECT_EQ(slots, inOrder) << "one field per slot of the action, in slot order";
        // The object field and its pick lead; "OK" and "Cancelar" close.
        EXPECT_EQ(d.rows[1].number, editor::CONTROL_OBJECT_FIELD);
        EXPECT_EQ(d.rows[2].pick, Pick::Object);
        EXPECT_EQ(d.rows[d.rowCount - 2].number, editor::CONTROL_OK);
        EXPECT_EQ(d.rows[d.rowCount - 1].number, editor::CONTROL_CANCEL);
        EXPECT_EQ(editor::findControl(d, *ownNumbers.rbegin() + 1), nullptr);
        EXPECT_EQ(editor::findControl(d, 0), nullptr);
    }
}

//--- The font field

TEST(FontField, WhatTheFontDialogOpensOn) {
    struct Case {
        Text field;
        Text face;
        int32_t points;
        bool bold, italic, underline;
    };
    const Case cases[] = {
        {u"Arial,12,B", u"Arial", 12, true, false, false},
        {u"Arial", u"Arial", 0, false, false, false}, // no size: the dialog's choice
        {u"", u"", 0, false, false, false},           // no "Arial", no 12 here
        {u"Times New Roman,0,bi", u"Times New Roman", 0, false, false, false},
        {u"Courier, 10, I", u"Courier", 10, false, true, false},
        {u" Verdana ,14,UB", u" Verdana ", 14, true, false, true},
        {u",9,IUB,extra", u"", 9, true, true, true},
        {u"Arial,-8,", u"Arial", -8, false, false, false},
        {u"Arial,4294967308,I", u"Arial", 12, false, true, false}, // low 32 bits
        {u"Arial,$10", u"Arial", 16, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(host::utf16ToUtf8(c.field));
        const editor::FontDialogStart s = editor::fontDialogStart(c.field);
        EXPECT_EQ(s.face, c.face);
        EXPECT_EQ(s.points, c.points);
        EXPECT_EQ(s.bold, c.bold);
        EXPECT_EQ(s.italic, c.italic);
        EXPECT_EQ(s.underline, c.underline);
    }
}

TEST(FontField, ALongFaceIsCutToWhatLogfontHoldsWithoutSplittingACharacter) {
    const Text exact(31, u'a');
    EXPECT_EQ(editor::fontDialogStart(exact + u",10,B").face, exact);
    EXPECT_EQ(editor::fontDialogStart(Text(200, u'b') + u",10").face, Text(31, u'b'));
    // U+1D49C as a surrogate pair at units 31 and 32: both go.
    const Text pair = Text(30, u'c') + u"\U0001D49C" + u"d";
    EXPECT_EQ(editor::fontDialogStart(pair).face, Text(30, u'c'));
    // A pair that ends at unit 31 stays whole.
    const Text fits = Text(29, u'c') + u"\U0001D49C" + u"d";
    EXPECT_EQ(editor::fontDialogStart(fits).face, Text(29, u'c') + u"\U0001D49C");
}

TEST(FontField, WhatTheFontDialogsAnswerBecomes) {
    EXPECT_EQ(editor::fontFieldText(u"Verdana", 11, 400, true, false), u"Verdana,11,I");
    EXPECT_EQ(editor::fontFieldText(u"Arial", 12, 700, false, false), u"Arial,12,B");
    EXPECT_EQ(editor::fontFieldText(u"Arial", 12, 400, false, false), u"Arial,12,");
    EXPECT_EQ(editor::fontFieldText(u"Arial", 12, 699, false, true), u"Arial,12,U");
    EXPECT_EQ(editor::fontFieldText(u"Arial Black", 72, 900, true, true), u"Arial Black,72,BIU");
    EXPECT_EQ(editor::fontFieldText(u"", 0, 0, false, false), u",0,");
    // What it writes reads back as what was chosen.
    const FontSpec back = parseFontSpec(editor::fontFieldText(u"Courier New", 9, 800, true, true));
    EXPECT_EQ(back.face, u"Courier New");
    EXPECT_EQ(back.size, 9);
    EXPECT_EQ(back.styles, parseFontSpec(u"x,1,BIU").styles);
}

TEST(FontField, TheChosenColourIsWrittenAsASignedDecimalThatReadsBackTheSame) {
    const std::pair<uint32_t, Text> cases[] = {
        {0x000000FF, u"255"},        {0x00FF0000, u"16711680"}, {0, u"0"},
        {0x00FFFFFF, u"16777215"},   {0xFFFFFFFF, u"-1"},       {0x80000000, u"-2147483648"},
        {0x7FFFFFFF, u"2147483647"},
    };
    for (const auto& [colour, text] : cases) {
        EXPECT_EQ(editor::colourFieldText(colour), text);
        EXPECT_EQ(parseColor(editor::colourFieldText(colour)), colour);
    }
}

} // namespace
