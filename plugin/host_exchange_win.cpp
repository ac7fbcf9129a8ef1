#include "plugin/host_exchange_win.h"

#include "canvas/convert.h"
#include "plugin/plugin_state_win.h"
#include "base/text_win.h"

HostString toHostString(const Text& text) {
    const int length = static_cast<int>(text.size());
    int bytes = 0;
    if (length > 0) {
        bytes = WideCharToMultiByte(CP_ACP, 0, wstr(text), length, nullptr, 0, nullptr, nullptr);
    }
    auto block = static_cast<HostString>(GlobalAlloc(0, static_cast<SIZE_T>(bytes) + 1));
    if (!block) {
        return nullptr;
    }
    if (bytes > 0) {
        WideCharToMultiByte(CP_ACP, 0, wstr(text), length, block, bytes, nullptr, nullptr);
    }
    block[bytes] = '\0';
    return block;
}

Text fromHostString(const char* hostString) {
    if (!hostString || !*hostString) {
        return Text();
    }
    const int bytes = static_cast<int>(strlen(hostString));
    const int units = MultiByteToWideChar(CP_ACP, 0, hostString, bytes, nullptr, 0);
    Text text(static_cast<size_t>(units), u'\0');
    if (units > 0) {
        MultiByteToWideChar(CP_ACP, 0, hostString, bytes, reinterpret_cast<wchar_t*>(&text[0]),
                            units);
    }
    return text;
}

void freeHostString(HostString hostString) {
    if (hostString) {
        GlobalFree(hostString);
    }
}

void setParamString(HostString* slot, const Text& text) {
    freeHostString(*slot);
    *slot = toHostString(text);
}

uint32_t queryObjectWindow(const Text& objectName) {
    HostInterfaceProc host = plugin::state().hostInterface;
    if (!host) {
        return 0;
    }
    HostString slot = toHostString(objectName);
    if (!slot) {
        return 0;
    }
    const int answered = host(HOST_CMD_OBJECT_WINDOW, &slot);
    // Answered or not, whatever the slot holds now is ours to free: the
    // reply, or the request (unless the host swapped in something else and
    // freed the request).
    const OwnedHostString held(slot);
    if (!answered || !held) {
        return 0;
    }
    return static_cast<uint32_t>(low32(parseNumber(fromHostString(held.get()))));
}

bool pickFromHost(int command, Text* reply) {
    HostInterfaceProc host = plugin::state().hostInterface;
    if (!host) {
        return false;
    }
    HostString slot = nullptr;
    if (command == HOST_CMD_SELECT_OBJECT) {
        slot = toHostString(u"ObjectType=4"); // the host is asked even if this fails
    }
    const int answered = host(command, &slot);
    // A reply is ours to free. An unanswered colour pick may have left
    // anything in the slot; it was never ours, so it is not looked at. The
    // object pick's request is.
    const OwnedHostString held(answered || command == HOST_CMD_SELECT_OBJECT ? slot : nullptr);
    if (!answered || !held) {
        return false;
    }
    *reply = fromHostString(held.get());
    return true;
}

namespace {

class CallbackHostLink final : public HostLink {
  public:
    uint32_t objectWindow(const Text& objectName) override { return queryObjectWindow(objectName); }
    bool pickObject(Text* name) override { return pickFromHost(HOST_CMD_SELECT_OBJECT, name); }
    bool pickColour(Text* colour) override { return pickFromHost(HOST_CMD_SELECT_COLOUR, colour); }
};

} // namespace

HostLink& plugin::hostLink() {
    static CallbackHostLink link;
    return link;
}
