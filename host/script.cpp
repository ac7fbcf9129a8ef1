#include "host/script.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "host/utf8.h"

namespace host {

namespace {

//--- Words of one line

struct Word {
    std::string text; // unquoted text; for an option, its value
    bool quoted = false;
    std::string key; // non-empty for an option `key=value`
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isOptionKey(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < 'a' || c > 'z') {
            return false;
        }
    }
    return true;
}

// The 1-based column of a byte of a UTF-8 line, as an editor counts it:
// one per character, whatever its length in bytes.
size_t columnOf(const std::string& line, size_t byte) {
    size_t column = 1;
    for (size_t i = 0; i < byte && i < line.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80;
        column += continuation ? 0 : 1;
    }
    return column;
}

// Reads a quoted word whose opening quote is at `i`; leaves `i` after the
// closing quote. False with a message naming the opening quote's column
// when the line ends first.
bool readQuoted(const std::string& line, size_t& i, std::string* out, std::string* error) {
    const size_t opening = i;
    ++i;
    while (i < line.size()) {
        char c = line[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
            out->push_back(line[i + 1]);
            i += 2;
            continue;
        }
        out->push_back(c);
        ++i;
    }
    *error = "unterminated quoted text: the quote at column " +
             std::to_string(columnOf(line, opening)) + " is never closed";
    return false;
}

// Splits one line into words; false with a message on malformed quoting.
bool splitWords(const std::string& line, std::vector<Word>* words, std::string* error) {
    size_t i = 0;
    while (true) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        if (i == line.size() || line[i] == '#') {
            return true;
        }
        Word word;
        if (line[i] == '"') {
            word.quoted = true;
            if (!readQuoted(line, i, &word.text, error)) {
                return false;
            }
        } else {
            size_t start = i;
            while (i < line.size() && !isBlank(line[i]) && line[i] != '"') {
                ++i;
            }
            std::string bare = line.substr(start, i - start);
            size_t eq = bare.find('=');
            bool option = eq != std::string::npos && isOptionKey(bare.substr(0, eq));
            if (i < line.size() && line[i] == '"') {
                // Only an option's value may be quoted inside a word.
                if (!option || eq + 1 != bare.size()) {
                    *error = "a double quote inside a bare word (quote the whole word)";
                    return false;
                }
                word.quoted = true;
                if (!readQuoted(line, i, &word.text, error)) {
                    return false;
                }
            } else if (option) {
                word.text = bare.substr(eq + 1);
            } else {
                word.text = bare;
            }
            if (option) {
                word.key = bare.substr(0, eq);
            }
        }
        if (i < line.size() && !isBlank(line[i])) {
            *error = "a blank must follow the closing quote";
            return false;
        }
        words->push_back(word);
    }
}

//--- Command checks

const long long SCRIPT_MAX_COORDINATE = 10000;
const long long SCRIPT_MAX_WAIT_MS = 600000;
// More digits than any value a script may give has, and far fewer than
// would overflow the sum.
const size_t SCRIPT_MAX_DIGITS = 12;
const char SCRIPT_BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

// A whole decimal number within [lo, hi]: an optional minus and digits only.
bool readInt(const std::string& s, long long lo, long long hi, int* out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && s[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == s.size() || s.size() - i > SCRIPT_MAX_DIGITS) {
        return false;
    }
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        v = v * 10 + (s[i] - '0');
    }
    if (negative) {
        v = -v;
    }
    if (v < lo || v > hi) {
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

// Equal but for the case of ASCII letters: action names are ASCII, and
// the host matches them exactly.
bool sameIgnoringCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

class LineParser {
  public:
    LineParser(int line, std::vector<Word> words) : words_(std::move(words)) { cmd_.line = line; }

    // Fills `cmd` or returns false with `error` set.
    bool parse(Command* cmd, std::string* error) {
        const Word& head = words_[0];
        if (head.quoted || !head.key.empty()) {
            return fail(error, "a line must start with a command or action name");
        }
        const std::string& verb = head.text;
        // Options are taken out first; `about` and `edit` are the only
        // commands that have any.
        for (size_t i = 1; i < words_.size(); ++i) {
            if (words_[i].key.empty()) {
                args_.push_back(words_[i]);
            } else if (verb != "about" && verb != "edit") {
                return fail(error, "\"" + verb + "\" takes no option (to pass \"" + words_[i].key +
                                       "=...\" as text, quote it)");
            } else if (!takeOption(words_[i], error)) {
                return false;
            }
        }
        bool ok = true;
        if (verb == "window") {
            cmd_.op = Op::Window;
            ok = count(2, "window W H", error) && size(0, 1, "W and H", error);
        } else if (verb == "object") {
            cmd_.op = Op::Object;
            ok = count(5, "object NAME X Y W H", error) && name(0, error) && position(1, error) &&
                 size(3, 4, "W and H", error);
        } else if (verb == "destroy") {
            cmd_.op = Op::Destroy;
            ok = count(1, "destroy NAME", error) && name(0, error);
        } else if (verb == "message") {
            cmd_.op = Op::Message;
            ok = count(1, "message CODE", error) &&
                 (readInt(args_[0].text, INT32_MIN, INT32_MAX, &cmd_.value) ||
                  fail(error, "CODE must be a whole number"));
        } else if (verb == "wait") {
            cmd_.op = Op::Wait;
            ok = count(1, "wait MS", error) &&
                 (readInt(args_[0].text, 0, SCRIPT_MAX_WAIT_MS, &cmd_.value) ||
                  fail(error, "MS must be a whole number from 0 to 600000"));
        } else if (verb == "screenshot") {
            cmd_.op = Op::Screenshot;
            ok = count(1, "screenshot FILE", error) && name(0, error);
        } else if (verb == "unload") {
            cmd_.op = Op::Unload;
            ok = count(0, "unload", error);
        } else if (verb == "about") {
            cmd_.op = Op::About;
            ok = count(0, "about [capture=FILE] [close=ok|cancel|closebox]", error);
        } else if (verb == "edit") {
            cmd_.op = Op::Edit;
            if (args_.empty() || args_[0].quoted) {
                return fail(error, "usage: edit ACTION \"p0\" ... [capture=FILE] [close=...]");
            }
            cmd_.name = args_[0].text;
            for (size_t i = 1; i < args_.size(); ++i) {
                cmd_.params.push_back(args_[i].text);
            }
        } else {
            cmd_.op = Op::Action;
            cmd_.name = verb;
            for (const Word& w : args_) {
                cmd_.params.push_back(w.text);
            }
        }
        if (!ok) {
            return false;
        }
        *cmd = cmd_;
        return true;
    }

  private:
    static bool fail(std::string* error, const std::string& message) {
        *error = message;
        return false;
    }

    bool takeOption(const Word& w, std::string* error) {
        if (!seen_.insert(w.key).second) {
            return fail(error, "option \"" + w.key + "\" given twice");
        }
        if (w.key == "capture") {
            if (w.text.empty()) {
                return fail(error, "capture= needs a file name");
            }
            cmd_.capture = w.text;
            return true;
        }
        if (w.key == "close") {
            if (w.text == "ok") {
                cmd_.close = CloseWith::Ok;
            } else if (w.text == "cancel") {
                cmd_.close = CloseWith::Cancel;
            } else if (w.text == "closebox") {
                cmd_.close = CloseWith::CloseBox;
            } else {
                return fail(error, "close= must be ok, cancel or closebox");
            }
            return true;
        }
        return fail(error, "unknown option \"" + w.key + "\"");
    }

    bool count(size_t n, const char* usage, std::string* error) {
        return args_.size() == n || fail(error, std::string("usage: ") + usage);
    }

    bool name(size_t i, std::string* error) {
        cmd_.name = args_[i].text;
        return !cmd_.name.empty() || fail(error, "the name must not be empty");
    }

    bool position(size_t i, std::string* error) {
        return (readInt(args_[i].text, -SCRIPT_MAX_COORDINATE, SCRIPT_MAX_COORDINATE, &cmd_.x) &&
                readInt(args_[i + 1].text, -SCRIPT_MAX_COORDINATE, SCRIPT_MAX_COORDINATE,
                        &cmd_.y)) ||
               fail(error, "X and Y must be whole numbers from -10000 to 10000");
    }

    bool size(size_t w, size_t h, const char* what, std::string* error) {
        return (readInt(args_[w].text, 1, SCRIPT_MAX_COORDINATE, &cmd_.width) &&
                readInt(args_[h].text, 1, SCRIPT_MAX_COORDINATE, &cmd_.height)) ||
               fail(error, std::string(what) + " must be whole numbers from 1 to 10000");
    }

    std::vector<Word> words_;
    std::vector<Word> args_;
    std::set<std::string> seen_;
    Command cmd_;
};

} // namespace

//--- Public functions

Script parseScript(const std::string& utf8) {
    Script script;
    size_t pos = 0;
    const size_t bomSize = sizeof SCRIPT_BYTE_ORDER_MARK - 1;
    if (utf8.compare(0, bomSize, SCRIPT_BYTE_ORDER_MARK) == 0) {
        pos = bomSize;
    }
    int lineNo = 0;
    while (pos <= utf8.size()) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string::npos) {
            end = utf8.size();
        }
        std::string line = utf8.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::u16string ignored;
        std::string error;
        std::vector<Word> words;
        if (!utf8ToUtf16(line, &ignored)) {
            error = "not valid UTF-8";
        } else if (line.find('\0') != std::string::npos) {
            error = "a zero byte cannot be passed in a host string";
        } else if (splitWords(line, &words, &error) && !words.empty()) {
            Command cmd;
            if (LineParser(lineNo, std::move(words)).parse(&cmd, &error)) {
                script.commands.push_back(cmd);
            }
        }
        if (!error.empty()) {
            script.errors.push_back({lineNo, error});
        }
    }
    return script;
}

std::vector<ScriptError> scriptFaults(const Script& script,
                                      const std::vector<RegisteredAction>& registered) {
    std::vector<ScriptError> faults = script.errors;
    for (const Command& c : script.commands) {
        if (c.op != Op::Action && c.op != Op::Edit) {
            continue;
        }
        const RegisteredAction* exact = nullptr;
        const RegisteredAction* sameLetters = nullptr;
        for (const RegisteredAction& a : registered) {
            if (a.name == c.name) {
                exact = &a;
            } else if (!sameLetters && sameIgnoringCase(a.name, c.name)) {
                sameLetters = &a;
            }
        }
        if (!exact) {
            faults.push_back(
                {c.line,
                 "no action \"" + c.name + "\" is registered" +
                     (sameLetters ? " (did you mean \"" + sameLetters->name + "\"?)" : "")});
        } else if (c.params.size() > static_cast<size_t>(exact->count)) {
            faults.push_back({c.line, c.name + " takes " + std::to_string(exact->count) +
                                          (exact->count == 1 ? " parameter, " : " parameters, ") +
                                          std::to_string(c.params.size()) + " given"});
        }
    }
    // Syntax errors and the others come from separate walks; a line has at
    // most one of them, so a stable sort by line interleaves them.
    std::stable_sort(faults.begin(), faults.end(),
                     [](const ScriptError& a, const ScriptError& b) { return a.line < b.line; });
    return faults;
}

std::string formatError(const ScriptError& error, const std::string& file) {
    return (file.empty() ? "line " + std::to_string(error.line) + ": "
                         : located(error.line, file)) +
           error.message;
}

std::string located(int line, const std::string& file) {
    return file.empty() ? std::string() : file + ":" + std::to_string(line) + ": ";
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

} // namespace host
