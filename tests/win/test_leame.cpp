// The users' guide, docs/LEAME.md, held to what the plug-in does: each example that claims
// a result is a row with the guide's words, run as a script by the reference host, checked
// for its actions' results and what its canvas shows. Changed words, a plug-in that stops
// doing what they say, or an example line that no row runs, fail.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/app_win.h"
#include "host/encoding_win.h"
#include "host/utf8.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_app.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/linked_plugin.h"
#include "tests/win/support/processes.h"

namespace {

// Every row runs on this object, a 300 x 300 canvas on it made white first
// unless the row makes its own canvas. The guide's examples all use it.
const std::string kObject = "Rectángulo 1";
const char* const kScene = "window 400 400\nobject \"Rectángulo 1\" 0 0 300 300\n";
const char* const kWhiteCanvas = "kiv_CreateCanvas \"Rectángulo 1\" \"\"\n";
constexpr int SIDE = 300;
constexpr uint32_t GREY = 0x808080, GREEN = 0x00FF00, PALE_YELLOW = 0xC0FFFF, DARK_GREEN = 0x006000;

// Between `least` and `most` pixels of `colour` in a box of the canvas.
struct Look {
    int x, y, w, h;
    uint32_t colour;
    size_t least, most;
};
Look all(int x, int y, int w, int h, uint32_t colour) {
    const size_t n = static_cast<size_t>(w) * h;
    return {x, y, w, h, colour, n, n};
}
const auto at = [](int x, int y, uint32_t colour) { return all(x, y, 1, 1, colour); };
const auto whole = [](uint32_t colour) { return all(0, 0, SIDE, SIDE, colour); };
const auto count = [](size_t n, uint32_t colour) { return Look{0, 0, SIDE, SIDE, colour, n, n}; };
const auto some = [](int x, int y, int w, int h, uint32_t c) {
    return Look{x, y, w, h, c, 1, SIZE_MAX};
};
const auto none = [](int x, int y, int w, int h, uint32_t c) { return Look{x, y, w, h, c, 0, 0}; };

enum class Compare { None, Same, Differs };

struct Example {
    const char* claim;   // the guide's words; any run of blanks and line ends is one blank
    const char* lines;   // script lines (UTF-8, as the guide writes them)
    const char* results; // each action's result, in order
    std::vector<Look> looks;
    // Another script whose canvas must look the same as this one's, or not.
    Compare compare = Compare::None;
    const char* other = nullptr;
};

// clang-format off
const std::vector<Example> kExamples = {
    //--- kiv_CreateCanvas
    {"Crea un lienzo amarillo pálido sobre \"Rectángulo 1\".",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$C0FFFF\"", "1", {whole(PALE_YELLOW)}},
    {"Si ese nombre ya es un lienzo, no hace nada y devuelve 1: el lienzo conserva su primer "
     "color.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$C0FFFF\"\nkiv_CreateCanvas \"Rectángulo 1\" \"$0000FF\"",
     "11", {whole(PALE_YELLOW)}},
    {"`kiv_CreateCanvas \"Rectángulo 1\" \"$0000FF\"` sobre un objeto Rectángulo llamado así, "
     "pinta el objeto de rojo.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$0000FF\"", "1", {whole(RED)}},
    //--- kiv_DrawCircle
    {"Dibuja en rojo el contorno (una línea de un píxel) de un círculo de radio 50 con centro en "
     "(100, 80). El interior no se rellena",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"50\" \"$0000FF\"", "1",
     {at(150, 80, RED), at(50, 80, RED), at(100, 30, RED), at(100, 130, RED),
      {140, 80, 20, 1, RED, 1, 1}, all(70, 50, 61, 61, WHITE), {0, 0, SIDE, SIDE, RED, 250, 400}}},
    {"La parte del círculo que cae fuera del lienzo no se dibuja.",
     "kiv_DrawCircle \"Rectángulo 1\" \"0\" \"0\" \"50\" \"$0000FF\"",
     "1", {at(50, 0, RED), at(0, 50, RED), none(51, 0, 249, SIDE, RED)}},
    {"Un radio 0 dibuja un solo punto;",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"0\" \"\"",
     "1", {at(100, 80, BLACK), count(1, BLACK)}},
    {"un radio negativo no dibuja nada (y la acción devuelve 1 igualmente).",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"-5\" \"\"", "1", {whole(WHITE)}},
    //--- kiv_ClearCanvas
    {"Pinta el lienzo entero de blanco, sea cual sea el color con que se creó",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$0000FF\"\nkiv_ClearCanvas \"Rectángulo 1\"",
     "11", {whole(WHITE)}},
    //--- kiv_DrawText
    {"La primera línea escribe \"Hola\" en negro, en Arial negrita de 20 puntos, con su esquina "
     "superior izquierda en (10, 10); con Color Fondo vacío solo se pintan las letras.",
     "kiv_DrawText \"Rectángulo 1\" \"Hola\" \"10\" \"10\" \"$000000\" \"\" \"Arial,20,B\"", "1",
     {some(10, 10, 80, 35, BLACK), none(0, 0, SIDE, 10, BLACK), none(0, 0, 10, SIDE, BLACK),
      all(100, 0, 200, SIDE, WHITE)}, Compare::Differs,
     "kiv_DrawText \"Rectángulo 1\" \"Hola\" \"10\" \"10\" \"$000000\" \"\" \"Arial,20,\""},
    {"La segunda escribe texto blanco sobre un rectángulo verde oscuro: con un Color Fondo, se "
     "pinta también el rectángulo que ocupa el texto.",
     "kiv_DrawText \"Rectángulo 1\" \"Opaco\" \"10\" \"50\" \"$FFFFFF\" \"$006000\" \"Arial,16\"",
     "1", {at(10, 50, DARK_GREEN), some(10, 50, 100, 30, WHITE), none(0, 0, SIDE, 50, DARK_GREEN)}},
    {"Un texto vacío no dibuja nada (y devuelve 1).",
     "kiv_DrawText \"Rectángulo 1\" \"\" \"10\" \"10\" \"\" \"$0000FF\" \"\"", "1", {whole(WHITE)}},
    {"`rect1`, `Rect1` y `rect1 ` con un espacio al final son tres nombres distintos",
     "object rect1 310 0 20 20\nkiv_CreateCanvas rect1 \"\"\nkiv_ClearCanvas Rect1\n"
     "kiv_ClearCanvas \"rect1 \"\nkiv_ClearCanvas rect1", "1001", {}},
    //--- Numbers, as the centre of a one-pixel circle
    {"en hexadecimal con `$` (`$FF` es 255) o en binario con `%` (`%101` es 5).",
     "kiv_DrawCircle \"Rectángulo 1\" \"$FF\" \"%101\" \"0\" \"\"", "1", {at(255, 5, BLACK)}},
    {"Delante pueden llevar espacios y un signo, como en `-15` o `+15`.",
     "kiv_DrawCircle \"Rectángulo 1\" \" +15\" \"  -15\" \"20\" \"\"", "1", {at(15, 5, BLACK)}},
    {"`10px` vale 10 y `12.9` vale 12 (no hay decimales).",
     "kiv_DrawCircle \"Rectángulo 1\" \"10px\" \"12.9\" \"0\" \"\"", "1", {at(10, 12, BLACK)}},
    {"Un texto que no es un número, y un campo vacío, valen 0. `0x1F` también vale 0",
     "kiv_DrawCircle \"Rectángulo 1\" \"0x1F\" \"uno\" \"\" \"\"",
     "1", {at(0, 0, BLACK), count(1, BLACK)}},
    {"da la vuelta sin aviso (`4294967297` vale 1)",
     "kiv_DrawCircle \"Rectángulo 1\" \"4294967297\" \"7\" \"0\" \"\"", "1", {at(1, 7, BLACK)}},
    //--- Colours, as one-pixel circles on a grey canvas
    {"`$0000FF` es rojo, `$00FF00` verde, `$FF0000` azul, `$FFFFFF` blanco, `$000000` negro, "
     "`$C0FFFF` amarillo pálido.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$808080\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"1\" \"1\" \"0\" \"$0000FF\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"2\" \"1\" \"0\" \"$00FF00\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"3\" \"1\" \"0\" \"$FF0000\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"4\" \"1\" \"0\" \"$FFFFFF\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"5\" \"1\" \"0\" \"$000000\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"6\" \"1\" \"0\" \"$C0FFFF\"", "1111111",
     {at(1, 1, RED), at(2, 1, GREEN), at(3, 1, BLUE), at(4, 1, WHITE), at(5, 1, BLACK),
      at(6, 1, PALE_YELLOW)}},
    {"`255` es rojo, `65280` verde, `16711680` azul, `16777215` blanco.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$808080\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"1\" \"1\" \"0\" \"255\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"2\" \"1\" \"0\" \"65280\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"3\" \"1\" \"0\" \"16711680\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"4\" \"1\" \"0\" \"16777215\"",
     "11111", {at(1, 1, RED), at(2, 1, GREEN), at(3, 1, BLUE), at(4, 1, WHITE)}},
    {"Otros `$` se leen como un número hexadecimal (`$FF` es rojo). Un texto que no es un color, "
     "como `#FF0000` o `rojo`, vale 0, que es negro.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$808080\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"1\" \"1\" \"0\" \"$FF\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"2\" \"1\" \"0\" \"#FF0000\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"3\" \"1\" \"0\" \"rojo\"",
     "1111", {at(1, 1, RED), at(2, 1, BLACK), at(3, 1, BLACK)}},
    {"| Color: (kiv_DrawCircle) | negro | | Color Texto: (kiv_DrawText) | negro | | Color Fondo: "
     "(kiv_DrawText) | transparente: solo se pintan las letras |",
     "kiv_CreateCanvas \"Rectángulo 1\" \"$808080\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"1\" \"1\" \"0\" \"\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Hola\" \"10\" \"10\" \"\" \"\" \"Arial,20,B\"",
     "111", {at(1, 1, BLACK), some(10, 10, 80, 35, BLACK), at(10, 10, GREY)}},
    //--- Fonts: a field and the one the guide says it stands for draw alike
    {"Campo vacío: Arial, 12 puntos, normal.",
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"\"", "1",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,12,\""},
    {"Nombre de fuente vacío (`,20,B`): Arial.",
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \",20,B\"", "1",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,20,B\""},
    {"Tamaño vacío, 0, negativo o que no es un número (`Arial`, `Arial,0`, `Arial,grande`): 12 "
     "puntos.",
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"40\" \"\" \"\" \"Arial,0\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"70\" \"\" \"\" \"Arial,-3\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"100\" \"\" \"\" \"Arial,grande\"", "1111",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,12\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"40\" \"\" \"\" \"Arial,12\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"70\" \"\" \"\" \"Arial,12\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"100\" \"\" \"\" \"Arial,12\""},
    {"Se admiten espacios antes del número (`Arial, 14`) y lo que siga al número se ignora "
     "(`Arial,14pt` es 14).",
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial, 14\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"40\" \"\" \"\" \"Arial,14pt\"", "11",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,14\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"40\" \"\" \"\" \"Arial,14\""},
    {"(`Arial,12,bi` es Arial normal).",
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,12,bi\"", "1",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,12,\""},
    {"Lo que haya después de una tercera coma se ignora.",
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,12,B,I\"", "1",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"Fuente\" \"10\" \"10\" \"\" \"\" \"Arial,12,B\""},
    //--- Radii
    {"un radio de 2147483648 a 4294967295 da la vuelta a un número negativo y no dibuja nada,",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"2147483648\" \"\"\n"
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"4294967295\" \"\"", "11", {whole(WHITE)}},
    {"y uno de 4294967346 vale 50 y dibuja un círculo de radio 50.",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"4294967346\" \"\"", "1",
     {at(150, 80, BLACK)}, Compare::Same,
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"50\" \"\""},
    {"Un círculo de radio 2000000000 con el centro en el lienzo no se ve",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"80\" \"2000000000\" \"\"", "1", {whole(WHITE)}},
    {"con centro (100, 2000000050) y radio 2000000000, una línea horizontal en Y = 50.",
     "kiv_DrawCircle \"Rectángulo 1\" \"100\" \"2000000050\" \"2000000000\" \"\"",
     "1", {all(0, 50, SIDE, 1, BLACK), count(SIDE, BLACK)}},
    //--- The code page
    {"letras como á, ñ, ü, ç, ¿, €, š o ž se dibujan bien.",
     "kiv_DrawText \"Rectángulo 1\" \"áñüç¿€šž\" \"10\" \"10\" \"\" \"\" \"\"", "1",
     {}, Compare::Differs,
     "kiv_DrawText \"Rectángulo 1\" \"????????\" \"10\" \"10\" \"\" \"\" \"\""},
    {"(la a con macrón del letón o la l con barra del polaco llegan como a y l;",
     "kiv_DrawText \"Rectángulo 1\" \"āł\" \"10\" \"10\" \"\" \"\" \"\"",
     "1", {}, Compare::Same, "kiv_DrawText \"Rectángulo 1\" \"al\" \"10\" \"10\" \"\" \"\" \"\""},
    {"como alfa, que llega como a, o pi, como p)",
     "kiv_DrawText \"Rectángulo 1\" \"απ\" \"10\" \"10\" \"\" \"\" \"\"",
     "1", {}, Compare::Same, "kiv_DrawText \"Rectángulo 1\" \"ap\" \"10\" \"10\" \"\" \"\" \"\""},
    {"(una palabra rusa de seis letras se ve como ??????" ").",
     "kiv_DrawText \"Rectángulo 1\" \"Привет\" \"10\" \"10\" \"\" \"\" \"\"", "1",
     {}, Compare::Same,
     "kiv_DrawText \"Rectángulo 1\" \"??????\" \"10\" \"10\" \"\" \"\" \"\""},
    //--- When an action returns 0, and when it returns 1 showing nothing
    {"| el nombre del objeto o lienzo está vacío | todas |",
     "kiv_CreateCanvas \"\" \"$0000FF\"\nkiv_DrawCircle \"\" \"1\" \"1\" \"0\" \"\"\n"
     "kiv_ClearCanvas \"\"\nkiv_DrawText \"\" \"Hola\" \"10\" \"10\" \"\" \"\" \"\"", "0000", {}},
    {"| la aplicación anfitriona no conoce el objeto o no da su ventana | kiv_CreateCanvas |",
     "kiv_CreateCanvas \"Rectángulo 2\" \"\"", "0", {}},
    {"| no hay lienzo con ese nombre exacto: no se creó, se escribió distinto, o la aplicación "
     "anfitriona ya liberó los lienzos | todas menos kiv_CreateCanvas |",
     "kiv_DrawCircle \"rectángulo 1\" \"1\" \"1\" \"0\" \"\"\nmessage 2\n"
     "kiv_ClearCanvas \"Rectángulo 1\"\nkiv_DrawText \"Rectángulo 1\" \"Hola\" \"10\" \"10\" \"\" "
     "\"\" \"\"", "000", {}},
    {"Y devuelven 1 aunque no se vea nada: un círculo o un texto fuera del lienzo,",
     "kiv_DrawCircle \"Rectángulo 1\" \"1000\" \"1000\" \"5\" \"\"\n"
     "kiv_DrawText \"Rectángulo 1\" \"Hola\" \"-500\" \"-500\" \"\" \"\" \"\"",
     "11", {whole(WHITE)}},
    //--- How long a canvas lives
    {"Con ese aviso se van todos los lienzos a la vez: sus objetos vuelven a verse como eran, y "
     "`kiv_CreateCanvas` puede crear lienzos nuevos, también con los mismos nombres.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"\"\nmessage 2\nkiv_CreateCanvas \"Rectángulo 1\" "
     "\"$0000FF\"", "11", {whole(RED)}},
    {"dibujar en él devuelve 1 sin que se vea nada, y `kiv_CreateCanvas` con ese nombre devuelve 1 "
     "sin crear nada, aunque entretanto exista un objeto nuevo con el mismo nombre.",
     "kiv_CreateCanvas \"Rectángulo 1\" \"\"\ndestroy \"Rectángulo 1\"\n"
     "object \"Rectángulo 1\" 0 0 300 300\nkiv_DrawCircle \"Rectángulo 1\" \"1\" \"1\" \"0\" \"\"\n"
     "kiv_CreateCanvas \"Rectángulo 1\" \"$0000FF\"", "111", {}},
};
// clang-format on

std::string readGuide() {
    return readAll(L"" CANVAS_SOURCE_DIR "/docs/LEAME.md");
}

// Runs of blanks and line ends as one blank, so that the guide's wrapping
// does not matter.
std::string flat(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r';
        if (!blank) {
            out += c;
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    return out;
}

// The action lines of the guide's code blocks (an action's name, a blank,
// its parameters).
std::vector<std::string> guideExamples(const std::string& guide) {
    std::vector<std::string> lines;
    bool inBlock = false;
    for (const std::string& line : splitLines(guide)) {
        if (line.rfind("```", 0) == 0) {
            inBlock = !inBlock;
        } else if (inBlock && line.rfind("kiv_", 0) == 0 && line.find(' ') < line.find(':')) {
            lines.push_back(line);
        }
    }
    return lines;
}

struct Drawn {
    std::string results;
    CanvasPixels canvas;
};

class Guide : public HostAppTest {
  protected:
    void TearDown() override { EXPECT_EQ(captured.errors(), ""); }
    void run(const std::string& lines) { ASSERT_TRUE(HostAppTest::run(lines)) << lines; }

    // The script on the scene; then every canvas released and every object
    // gone, for the next one.
    Drawn draw(const std::string& lines) {
        Drawn d;
        run(kScene);
        if (lines.find("kiv_CreateCanvas") == std::string::npos) {
            run(kWhiteCanvas);
        }
        captured.out.clear();
        run(lines);
        for (const std::string& line : captured.out) {
            if (line.rfind("kiv_", 0) == 0) {
                d.results += line.substr(line.size() - 1);
            }
        }
        d.canvas = readCanvas(app.object(kObject));
        run("message 2");
        const auto objects = app.host().objects; // which each destroy changes
        for (const auto& object : objects) {
            run("destroy " + host::quote(host::utf8FromAnsi(object.first.c_str())));
        }
        return d;
    }
};

TEST_F(Guide, EveryExampleDoesWhatTheGuideSays) {
    const std::string guide = flat(readGuide());
    ASSERT_FALSE(guide.empty());
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.claim);
        EXPECT_NE(guide.find(flat(e.claim)), std::string::npos) << "the guide no longer says so";
        const Drawn d = draw(e.lines);
        EXPECT_EQ(d.results, e.results);
        for (const Look& look : e.looks) {
            if (d.canvas.empty()) {
                ADD_FAILURE() << "no canvas";
                break;
            }
            size_t n = 0;
            for (int y = look.y; y < look.y + look.h; ++y) {
                for (int x = look.x; x < look.x + look.w; ++x) {
                    n += d.canvas.at(x, y) == look.colour;
                }
            }
            EXPECT_TRUE(n >= look.least && n <= look.most)
                << n << " pixels of " << std::hex << look.colour << std::dec << " in " << look.w
                << " x " << look.h << " at (" << look.x << ", " << look.y << ")";
        }
        if (e.compare != Compare::None) {
            const Drawn other = draw(e.other);
            ASSERT_FALSE(d.canvas.empty());
            EXPECT_EQ(d.canvas == other.canvas, e.compare == Compare::Same) << e.other;
        }
    }
}

TEST_F(Guide, NoExampleLineGoesUnchecked) {
    const std::vector<std::string> lines = guideExamples(readGuide());
    EXPECT_GE(lines.size(), 4u);
    for (const std::string& line : lines) {
        bool run = false;
        for (const Example& e : kExamples) {
            run = run || ("\n" + std::string(e.lines) + "\n").find("\n" + line + "\n") !=
                             std::string::npos;
        }
        EXPECT_TRUE(run) << "no row runs the guide's example " << line;
    }
}

// The guide lists the actions in its first table, gives each a section,
// and lists every colour field in its table of empty colours; elsewhere it
// counts none of them. An action added to the plug-in fails here until the
// guide names it in all three.
TEST(GuideActions, EveryActionHasItsRowItsSectionAndItsEmptyColours) {
    const std::string guide = flat(readGuide());
    for (const canvas::ActionDescriptor& action : canvas::ACTIONS) {
        const std::string name = host::utf16ToUtf8(action.name);
        EXPECT_NE(guide.find("| `" + name + "` |"), std::string::npos) << name;
        EXPECT_NE(guide.find("### " + name + ": "), std::string::npos) << name;
        for (int slot = 0; slot < action.paramCount; ++slot) {
            const canvas::ParamRow& row = action.params[slot];
            const std::string field = "| " + host::utf16ToUtf8(row.label) + " (" + name + ") |";
            EXPECT_TRUE(row.pick != canvas::Pick::Colour || guide.find(field) != std::string::npos)
                << field;
        }
    }
}

//--- What the diagnostic build writes

// The reasons a script can meet, which the guide's table of 0s quotes as
// the diagnostic build writes them, "…" standing for the value.
const canvas::ActionFailure kQuoted[] = {
    canvas::ActionFailure::NoName,          canvas::ActionFailure::ObjectUnknown,
    canvas::ActionFailure::ObjectNotWindow, canvas::ActionFailure::ObjectEmpty,
    canvas::ActionFailure::NoImage,         canvas::ActionFailure::NotACanvas,
    canvas::ActionFailure::NoFont,          canvas::ActionFailure::OutOfMemory,
    canvas::ActionFailure::NoWindow,        canvas::ActionFailure::NoPass,
};

TEST(GuideDiagnostics, QuotesTheLinesAsTheDiagnosticBuildWritesThem) {
    const std::string guide = flat(readGuide());
    for (canvas::ActionFailure why : kQuoted) {
        std::string text = host::utf16ToUtf8(canvas::FAILURE_TEXTS[static_cast<size_t>(why)].text);
        const size_t value = text.find("{}");
        if (value != std::string::npos) {
            text.replace(value, 2, "…");
        }
        EXPECT_NE(guide.find(text), std::string::npos) << text;
    }
    // The guide's example, from the same action on the plug-in's own code.
    LinkedPlugin linked;
    ASSERT_EQ(linked.reasonOf(TEXT, {"r1", "Hola", "10", "10", "", "", ""}),
              canvas::ActionFailure::NotACanvas);
    const std::string line = host::utf16ToUtf8(canvas::lastFailureLine());
    EXPECT_NE(guide.find("``` " + line + " ```"), std::string::npos) << line;
}

} // namespace
