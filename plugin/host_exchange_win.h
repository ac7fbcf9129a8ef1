// Strings and calls across the host boundary. A host string is ANSI (CP_ACP)
// text plus a zero byte in a fixed GlobalAlloc block, passed by address;
// null reads as the empty text.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/owners_win.h"
#include "base/text.h"
#include "canvas/host_link.h"

using HostString = char*;
// A host string the plug-in owns (a request the host did not take over, or
// a reply handed to it), freed once.
using OwnedHostString = GlobalBlock<HostString>;
// The host's parameter array: pointer-sized slots, slot i holding the host
// string of parameter i or null.
using ParamArray = HostString*;

// The host's query callback: command number and the address of a slot that
// holds the request on entry and the reply on return. Nonzero: answered.
using HostInterfaceProc = int(__stdcall*)(int command, HostString* slot);

constexpr int HOST_CMD_SELECT_OBJECT = 1;
constexpr int HOST_CMD_OBJECT_WINDOW = 7;
constexpr int HOST_CMD_SELECT_COLOUR = 10;

// A new host string owned by the caller; null when the block cannot be had.
HostString toHostString(const Text& text);

// A UTF-16 copy of a host string; the string itself is left alone.
Text fromHostString(const char* hostString);

// Frees the slot's string (if any) and stores a new host string of the text,
// or null when it cannot be allocated. The host owns the new string.
void setParamString(HostString* slot, const Text& text);

// Frees a host string the plug-in owns; null is ignored.
void freeHostString(HostString hostString);

// Asks the host for the window of the named object (command 7). Returns the
// low 32 bits of the number it replies, 0 when there is no callback, the host
// does not answer or the reply is not a number. The request and the reply
// are freed here.
uint32_t queryObjectWindow(const Text& objectName);

// Runs one host pick (command 1 with "ObjectType=4", or command 10 with an
// empty request) with the ownership rules of each: true and the reply's text
// when the host answered with a string, which is then freed here.
bool pickFromHost(int command, Text* reply);

// The host link the actions and the editor use: queryObjectWindow and the
// two picks over the registered callback.
namespace plugin {
HostLink& hostLink();
} // namespace plugin
