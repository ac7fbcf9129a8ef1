// The reference host: plays the part of the host application towards a
// plug-in DLL. canvas-host is built on it, and the Windows tests use it to
// load the plug-in, record what it registers and script the host's replies.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/owners_win.h"

namespace host {

using HostString = char*;

// A host string as the host makes one: the bytes and a zero byte in a fixed
// GlobalAlloc block, owned by the caller (freeString, or a parameter slot
// that Params frees). Null when the block cannot be had.
HostString allocString(const std::string& bytes);
// Frees a host string; null is ignored.
void freeString(HostString s);

// The host's query commands (the plug-in's calls into interfaceProc) that
// this host answers.
constexpr int COMMAND_PICK_OBJECT = 1;
constexpr int COMMAND_OBJECT_WINDOW = 7;
constexpr int COMMAND_PICK_COLOUR = 10;

// Parameter type codes in ActionDef::types.
constexpr unsigned char PARAM_TYPE_NUMBER = 3;
constexpr unsigned char PARAM_TYPE_TEXT = 4;
constexpr unsigned char PARAM_TYPE_OBJECT = 8;

using AddActionFn = int(__stdcall*)(int, const char*, const char*, const unsigned char*, int, int);
using InterfaceFn = int(__stdcall*)(int, HostString*);

// A loaded plug-in DLL and its eight exports.
class PluginModule {
  public:
    explicit PluginModule(const std::wstring& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // True when the DLL loaded and exports all eight functions.
    bool ok() const { return ok_; }
    // The loaded DLL, owned by this object; null when it did not load or
    // was unloaded.
    HMODULE handle() const { return module_.get(); }
    // Unloads the DLL now (DLL_PROCESS_DETACH runs); the exports are gone.
    void unload();

    int(__stdcall* registerPlugIn)(AddActionFn, int, int, int) = nullptr;
    int(__stdcall* initPlugIn)(int, HostString*, HostString*, HostString*) = nullptr;
    int(__stdcall* registerInterfaceAccess)(InterfaceFn) = nullptr;
    int(__stdcall* registerScriptProcessor)(void*) = nullptr;
    int(__stdcall* execAction)(int, HostString*) = nullptr;
    int(__stdcall* editAction)(int, HostString*) = nullptr;
    int(__stdcall* about)() = nullptr;
    int(__stdcall* message)(int, int) = nullptr;

  private:
    Module module_;
    bool ok_ = false;
};

// One action as the plug-in registered it through AddActionProc.
struct ActionDef {
    int id = 0;
    const char* namePtr = nullptr; // the plug-in's own strings, valid until it unloads
    const char* hintPtr = nullptr;
    std::string name;
    std::string hint;
    std::vector<unsigned char> types; // the `count` bytes behind the fourth argument: PARAM_TYPE_*
    int last = 0;
    int count = 0;
};

// One call of the plug-in into the host's query callback.
struct InterfaceCall {
    int command = 0;
    HostString request = nullptr; // the slot's value on entry
    std::string requestText;
};

// Plays the host. One Host is current at a time (the callbacks are plain
// functions); creating one makes it current.
class Host {
  public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The current Host (not owned), or null when there is none.
    static Host* current();

    // Registers the callbacks and the plug-in the way the host does at start:
    // _nbRegisterInterfaceAccess, _nbRegisterPlugIn, _nbInitPlugIn.
    void connect(PluginModule& plugin);

    // Named objects the host knows: command 7 answers with their windows.
    std::map<std::string, HWND> objects;

    // Overrides the answer to the plug-in's queries. Gets the command and the
    // slot; returns the callback's result. Without it, command 7 answers from
    // `objects`, and commands 1 and 10 go to pickObject/pickColour.
    std::function<int(int command, HostString* slot)> answer;
    // The host's own pickers (canvas-host shows dialogs); null: not answered.
    std::function<bool(std::string* name)> pickObject;
    std::function<bool(COLORREF* colour)> pickColour;

    std::vector<ActionDef> actions;
    std::vector<InterfaceCall> calls;
    // As _nbInitPlugIn handed them over: the plug-in's strings, which it
    // frees when it unloads; null if it gave none.
    HostString title = nullptr;
    HostString author = nullptr;
    HostString description = nullptr;

    static int __stdcall addActionProc(int id, const char* name, const char* hint,
                                       const unsigned char* types, int last, int count);
    static int __stdcall interfaceProc(int command, HostString* slot);

  private:
    int defaultAnswer(int command, HostString* slot);
};

// A parameter array as the host hands it over: pointer-sized slots holding
// GlobalAlloc'd host strings or null. Frees what its slots hold at the end.
class Params {
  public:
    // Slots from ANSI texts; a null entry leaves its slot null.
    explicit Params(const std::vector<const char*>& texts);
    ~Params();
    Params(const Params&) = delete;
    Params& operator=(const Params&) = delete;

    HostString* data() { return slots_.data(); }
    HostString slot(size_t i) const { return slots_[i]; }
    std::string text(size_t i) const { return slots_[i] ? slots_[i] : ""; }
    size_t size() const { return slots_.size(); }

  private:
    std::vector<HostString> slots_;
};

} // namespace host
