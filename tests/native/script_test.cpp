#include <gtest/gtest.h>

#include "host/script.h"
#include "host/utf8.h"

namespace {

using host::CloseWith;
using host::Command;
using host::Op;
using host::parseScript;
using host::Script;

// Parses one line that must be valid.
Command one(const std::string& line) {
    Script s = parseScript(line);
    EXPECT_TRUE(s.ok()) << line << ": " << (s.ok() ? "" : host::formatError(s.errors[0]));
    EXPECT_EQ(s.commands.size(), 1u) << line;
    return s.commands.empty() ? Command{} : s.commands[0];
}

// A parsed command as one line of text, every field that is not left at
// its default: "op name [p0|p1] at x,y size WxH value N capture F close C".
std::string describe(const Command& c) {
    const char* ops[] = {"window", "object",  "destroy", "action",     "edit",
                         "about",  "message", "wait",    "screenshot", "unload"};
    const char* closes[] = {"", "ok", "cancel", "closebox"};
    std::string s = ops[static_cast<int>(c.op)];
    s += c.name.empty() ? "" : " " + c.name;
    for (size_t i = 0; i < c.params.size(); ++i) {
        s += (i ? "|" : " [") + c.params[i] + (i + 1 == c.params.size() ? "]" : "");
    }
    s += c.x || c.y ? " at " + std::to_string(c.x) + "," + std::to_string(c.y) : "";
    s += c.width || c.height ? " size " + std::to_string(c.width) + "x" + std::to_string(c.height)
                             : "";
    s += c.value ? " value " + std::to_string(c.value) : "";
    s += c.capture.empty() ? "" : " capture " + c.capture;
    s += c.close != CloseWith::None ? std::string(" close ") + closes[int(c.close)] : "";
    return s;
}

// Each row: a line, and what it parses to.
void expectParses(std::initializer_list<std::pair<const char*, const char*>> rows) {
    for (const auto& [line, expected] : rows) {
        EXPECT_EQ(describe(one(line)), expected) << line;
    }
}

TEST(Script, ActionParametersQuotedAndBare) {
    expectParses({
        {R"(kiv_DrawCircle "rect1" "50" "40" "30" "$0000FF")",
         "action kiv_DrawCircle [rect1|50|40|30|$0000FF]"},
        {"kiv_DrawCircle rect1 50\t40  30 $0000FF",
         "action kiv_DrawCircle [rect1|50|40|30|$0000FF]"},
        {R"(kiv_DrawText "r" "say \"hi\"" "a\\b")", R"(action kiv_DrawText [r|say "hi"|a\b])"},
        // other backslashes stay
        {R"(kiv_DrawText "C:\temp\x" "\n")", R"(action kiv_DrawText [C:\temp\x|\n])"},
        {R"(kiv_CreateCanvas "rect 1" "")", "action kiv_CreateCanvas [rect 1|]"},
        {R"(kiv_DrawText "r" "#not a comment" # but this is)",
         "action kiv_DrawText [r|#not a comment]"},
        {"kiv_ClearCanvas", "action kiv_ClearCanvas"},
        {R"(kiv_DrawText "r" "Hola, lienzo" "" "" "" "" "Arial,20,B")",
         "action kiv_DrawText [r|Hola, lienzo|||||Arial,20,B]"},
        // UTF-8 kept as is
        {"kiv_DrawText r c\xC3\xADrculo", "action kiv_DrawText [r|c\xC3\xADrculo]"},
        {R"(kiv_DrawText "r" "a=b")", "action kiv_DrawText [r|a=b]"},
        // not option keys
        {"kiv_DrawText r ObjectType=4 =x", "action kiv_DrawText [r|ObjectType=4|=x]"},
        {"kiv_ClearCanvas r", "action kiv_ClearCanvas [r]"},
    });
}

TEST(Script, HostCommands) {
    expectParses({
        {"object \"Rect\xC3\xA1ngulo 1\" 20 -30 200 150",
         "object Rect\xC3\xA1ngulo 1 at 20,-30 size 200x150"},
        {"window 800 600", "window size 800x600"},
        {"  destroy rect1   # gone", "destroy rect1"},
        {"message -6", "message value -6"},
        {"message 2147483647", "message value 2147483647"},
        {"wait 250", "wait value 250"},
        {"screenshot \"out/a b.png\"", "screenshot out/a b.png"},
        {"unload", "unload"},
    });
}

TEST(Script, ModalOptions) {
    expectParses({
        {"about", "about"},
        {R"(about capture="docs/about box.png" close=ok)",
         "about capture docs/about box.png close ok"},
        {R"(edit kiv_DrawCircle close=cancel "r" capture=x.png "10" "")",
         "edit kiv_DrawCircle [r|10|] capture x.png close cancel"},
        {"edit kiv_ClearCanvas close=closebox", "edit kiv_ClearCanvas close closebox"},
        // A quoted word is never an option.
        {R"(edit kiv_ClearCanvas "close=ok")", "edit kiv_ClearCanvas [close=ok]"},
    });
}

TEST(Script, CommentsBlankLinesAndLineEnds) {
    Script s = parseScript("\xEF\xBB\xBF# a scene\r\n\r\n   \t\nobject a 0 0 10 10\r\n"
                           "# object b 0 0 1 1\nkiv_ClearCanvas a");
    ASSERT_TRUE(s.ok());
    ASSERT_EQ(s.commands.size(), 2u);
    EXPECT_EQ(s.commands[0].line, 4);
    EXPECT_EQ(s.commands[0].name, "a");
    EXPECT_EQ(s.commands[1].line, 6);
    EXPECT_EQ(s.commands[1].params, std::vector<std::string>{"a"});
    EXPECT_TRUE(parseScript("").commands.empty());
    EXPECT_TRUE(parseScript("").ok());
}

TEST(Script, ErrorsNameTheirLines) {
    struct Case {
        const char* line;
        const char* message; // a part of the expected message
    };
    const Case cases[] = {
        {R"(kiv_DrawText "r" "open)", "unterminated quoted text: the quote at column 18 is"},
        {R"(kiv_DrawText "r" "ends with \")", "the quote at column 18 is never closed"},
        {"kiv_DrawText \"c\xC3\xADrculo\" \"x", "column 24"}, // characters, not bytes
        {R"(about capture="x.png)", "the quote at column 15"},
        {R"(kiv_DrawText r ab"c")", "double quote inside a bare word"},
        {R"(kiv_DrawText "r""s")", "blank must follow"},
        {R"(kiv_DrawText "r"x)", "blank must follow"},
        {R"("kiv_DrawText" r)", "must start with a command"},
        {"close=ok", "must start with a command"},
        {"object a 0 0 10", "usage: object"},
        {"object a 0 0 10 0", "from 1 to 10000"},
        {"object a 0 0 10 -5", "from 1 to 10000"},
        {"object a x 0 10 10", "X and Y"},
        {"object a 0 10001 10 10", "X and Y"},
        {"object a 0 0 10 10.5", "from 1 to 10000"},
        {"object \"\" 0 0 10 10", "must not be empty"},
        {"window 800", "usage: window"},
        {"destroy", "usage: destroy"},
        {"message two", "CODE"},
        {"message 2147483648", "CODE"},
        {"wait -1", "MS"},
        {"wait 600001", "MS"},
        {"screenshot", "usage: screenshot"},
        {"unload now", "usage: unload"},
        {"about now", "usage: about"},
        {"about close=later", "ok, cancel or closebox"},
        {"about close=ok close=cancel", "given twice"},
        {"about capture=", "needs a file"},
        {"about colour=red", "unknown option"},
        {"edit", "usage: edit"},
        {R"(edit "kiv_DrawCircle")", "usage: edit"},
        {"kiv_DrawCircle r close=ok", "takes no option"},
        {"object a=1 0 0 1 1", "takes no option"},
        {"kiv_DrawText r caf\xE9", "UTF-8"}, // a Latin-1 byte
    };
    for (const Case& c : cases) {
        std::string text = std::string("# first line\n") + c.line + "\nunload\n";
        Script s = parseScript(text);
        ASSERT_EQ(s.errors.size(), 1u) << c.line;
        EXPECT_EQ(s.errors[0].line, 2) << c.line;
        EXPECT_NE(s.errors[0].message.find(c.message), std::string::npos)
            << c.line << " -> " << s.errors[0].message;
        // The good lines around it still parse.
        ASSERT_EQ(s.commands.size(), 1u) << c.line;
        EXPECT_EQ(s.commands[0].op, Op::Unload);
    }
    EXPECT_EQ(host::formatError({7, "oops"}), "line 7: oops");
    EXPECT_EQ(host::formatError({7, "oops"}, "demo.script"), "demo.script:7: oops");
    EXPECT_EQ(host::located(12, "demo.script"), "demo.script:12: ");
    EXPECT_EQ(host::located(12, ""), "");
    EXPECT_EQ(host::baseName("Z:\\tmp/x\\demo.script"), "demo.script");
    EXPECT_EQ(host::baseName("/work/examples/demo.script"), "demo.script");
    EXPECT_EQ(host::baseName("demo.script"), "demo.script");
}

// Syntax errors, unknown actions and too many parameters all come out of one
// check, in line order, against what the plug-in registered.
TEST(Script, FaultsOfEveryKindComeInOneRoundInLineOrder) {
    const std::vector<host::RegisteredAction> registered = {{"kiv_DrawCircle", 5},
                                                            {"kiv_ClearCanvas", 1}};
    struct Case {
        const char* script;
        std::vector<std::pair<int, const char*>> faults; // line, a part of the message
    };
    const Case cases[] = {
        {"kiv_DrawCircle r 1 2 3 $0000FF\nkiv_ClearCanvas r\n", {}},
        {"kiv_DrawText \"open\nkiv_Nothing r\nkiv_DrawCircle r 1 2 3 4 5\n",
         {{1, "unterminated"},
          {2, "no action \"kiv_Nothing\" is registered"},
          {3, "kiv_DrawCircle takes 5 parameters, 6 given"}}},
        {"edit kiv_ClearCanvas a b\nwait x\nedit kiv_clearcanvas\nobject a 0 0 1\n",
         {{1, "kiv_ClearCanvas takes 1 parameter, 2 given"},
          {2, "MS"},
          {3, "no action \"kiv_clearcanvas\" is registered (did you mean \"kiv_ClearCanvas\"?)"},
          {4, "usage: object"}}},
        {"kiv_drawcircle r\nKIV_DRAWCIRCLE r\nkiv_DrawCircles r\n",
         {{1, "(did you mean \"kiv_DrawCircle\"?)"},
          {2, "(did you mean \"kiv_DrawCircle\"?)"},
          {3, "no action \"kiv_DrawCircles\" is registered"}}},
    };
    for (const Case& c : cases) {
        const std::vector<host::ScriptError> faults =
            host::scriptFaults(parseScript(c.script), registered);
        ASSERT_EQ(faults.size(), c.faults.size()) << c.script;
        for (size_t i = 0; i < faults.size(); ++i) {
            EXPECT_EQ(faults[i].line, c.faults[i].first) << c.script;
            EXPECT_NE(faults[i].message.find(c.faults[i].second), std::string::npos)
                << c.script << " -> " << faults[i].message;
        }
    }
}

TEST(Script, ZeroByteInsideALineIsRejected) {
    Script s = parseScript(std::string("kiv_DrawText r \"a\0b\"\n", 21));
    ASSERT_EQ(s.errors.size(), 1u);
    EXPECT_NE(s.errors[0].message.find("zero byte"), std::string::npos);
}

TEST(Script, EveryFaultyLineIsReported) {
    Script s = parseScript("wait x\nobject a 0 0 1 1\nwait y\n\"q\n");
    ASSERT_EQ(s.errors.size(), 3u);
    EXPECT_EQ(s.errors[0].line, 1);
    EXPECT_EQ(s.errors[1].line, 3);
    EXPECT_EQ(s.errors[2].line, 4);
    EXPECT_EQ(s.commands.size(), 1u);
}

TEST(Script, QuoteRoundTrips) {
    const std::string texts[] = {"",      "plain", "two words", "q\"uote",       "back\\slash",
                                 "end\\", "\\\"",  "#hash",     "c\xC3\xADrculo"};
    for (const std::string& t : texts) {
        std::string line = "kiv_DrawText " + host::quote(t);
        Command c = one(line);
        ASSERT_EQ(c.params.size(), 1u) << line;
        EXPECT_EQ(c.params[0], t) << line;
    }
    EXPECT_EQ(host::quote("a\"b\\c"), R"("a\"b\\c")");
}

TEST(Utf8, DecodesAndRejects) {
    std::u16string out;
    ASSERT_TRUE(host::utf8ToUtf16("Hola, lienzo \xC3\xB1 \xE2\x82\xAC \xF0\x9F\x98\x80", &out));
    EXPECT_EQ(out, u"Hola, lienzo \u00f1 \u20ac \U0001F600");
    const char* bad[] = {
        "\x80",                 // a continuation byte alone
        "\xC3",                 // truncated
        "\xE2\x82",             // truncated
        "\xC0\xAF",             // overlong '/'
        "\xE0\x80\xAF",         // overlong
        "\xED\xA0\x80",         // a surrogate
        "\xF4\x90\x80\x80",     // above U+10FFFF
        "\xF0\x8F\xBF\xBF",     // overlong U+FFFF
        "\xED\xBF\xBF",         // the last surrogate
        "\xF8\x88\x80\x80\x80", // a five-byte form
        "\xFF",
        "a\xC3(",
    };
    for (const char* b : bad) {
        EXPECT_FALSE(host::utf8ToUtf16(b, &out)) << b;
    }
}

TEST(Utf8, EncodesEveryLength) {
    // Code points on both sides of each length boundary, and the last of all.
    const std::u16string edges = u"\u007f\u0080\u07ff\u0800\uffff\U00010000\U0010FFFF";
    const std::u16string texts[] = {u"",       u"abc",         u"\u00e1\u00ed\u00f1",
                                    u"\u20ac", u"\U0001F600x", edges};
    for (const std::u16string& t : texts) {
        std::u16string back;
        ASSERT_TRUE(host::utf8ToUtf16(host::utf16ToUtf8(t), &back));
        EXPECT_EQ(back, t);
    }
    EXPECT_EQ(host::utf16ToUtf8(u"\u00e1"), "\xC3\xA1");
    EXPECT_EQ(host::utf16ToUtf8(edges), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"
                                        "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(host::utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
