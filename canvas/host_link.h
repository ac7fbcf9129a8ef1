// What the canvas actions and the editor need from the host, answered by
// the plug-in's top layer over the host's query callback. Everything here
// is already plain text: host strings never reach the layers below plugin/.
#pragma once

#include <cstdint>

#include "base/text.h"

class HostLink {
  public:
    // The window of the named object as the host reports it (its low 32
    // bits); 0 when the host does not answer or names no window.
    virtual uint32_t objectWindow(const Text& objectName) = 0;
    // The host's object picker: true and the chosen name in *name, false
    // when there is no answer (*name then untouched).
    virtual bool pickObject(Text* name) = 0;
    // The host's colour picker, answered as a colour text: as pickObject.
    virtual bool pickColour(Text* colour) = 0;

  protected:
    ~HostLink() = default;
};
