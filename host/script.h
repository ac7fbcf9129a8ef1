// The reference host's script language, parsed without any Windows call.
//
// One command per line; `#` at the start of a word begins a comment that runs
// to the end of the line. Words are separated by blanks or tabs. A word is
// either bare (no blanks, no double quote) or double-quoted, where `\"` stands
// for a quote and `\\` for a backslash; a backslash before any other character
// stands for itself, so Windows paths need no doubling. A word of the form
// `key=value` (key in lower-case letters, value bare or quoted) is an option;
// only `about` and `edit` take options. Script files are UTF-8.
//
//   window W H                       client size of the host's main window
//   object NAME X Y W H              a rectangle object: its client area at
//                                    X,Y in the main window, W x H pixels
//   destroy NAME                     destroys the object's window
//   ACTION "p0" "p1" ...             runs a registered action
//   edit ACTION "p0" ... [options]   shows the plug-in's editor for an action
//   about [options]                  shows the plug-in's About box
//   message CODE                     sends a notification to the plug-in
//   wait MS                          keeps the windows running for MS ms
//   screenshot FILE                  saves the main window's client area
//   unload                           unloads the plug-in
//
// Options of about and edit: capture=FILE (save the box as PNG once it is
// up) and close=ok|cancel|closebox (how the host dismisses it).
#pragma once

#include <string>
#include <vector>

namespace host {

enum class Op { Window, Object, Destroy, Action, Edit, About, Message, Wait, Screenshot, Unload };

// How the host dismisses a modal box of the plug-in on its own.
enum class CloseWith { None, Ok, Cancel, CloseBox };

struct Command {
    int line = 0; // 1-based line of the script
    Op op = Op::Action;
    // Action and Edit: the action's name; Object and Destroy: the object's
    // name; Screenshot: the file.
    std::string name;
    std::vector<std::string> params; // Action and Edit: parameter texts, UTF-8
    int x = 0, y = 0;                // Object: position of its client area
    int width = 0, height = 0;       // Object, Window: client size
    int value = 0;                   // Message: the code; Wait: milliseconds
    std::string capture;             // About and Edit: PNG file, empty for none
    CloseWith close = CloseWith::None;
};

struct ScriptError {
    int line = 0;
    std::string message;
};

struct Script {
    std::vector<Command> commands;
    std::vector<ScriptError> errors; // every faulty line, in order
    bool ok() const { return errors.empty(); }
};

// Parses a whole script (UTF-8, optionally with a byte order mark; LF or
// CRLF line ends). Lines with errors are reported and left out.
Script parseScript(const std::string& utf8);

// An action as the plug-in registered it: its (UTF-8) name and how many
// parameters it takes.
struct RegisteredAction {
    std::string name;
    int count = 0;
};

// Every fault of the script, in line order: its syntax errors and, among the
// action and edit commands that parsed, names that are not registered (with
// the registered name when only the case differs) and more parameters than
// the action takes. Empty when the script may run.
std::vector<ScriptError> scriptFaults(const Script& script,
                                      const std::vector<RegisteredAction>& registered);

// "demo.script:3: message"; "line 3: message" when there is no file name.
std::string formatError(const ScriptError& error, const std::string& file = std::string());

// Where a script command's output comes from: "demo.script:12: ", or
// nothing when there is no file name.
std::string located(int line, const std::string& file);

// The file name of a path without its folders (either slash separates them).
std::string baseName(const std::string& path);

// The text as one quoted script word; parseScript reads it back unchanged.
std::string quote(const std::string& text);

} // namespace host
