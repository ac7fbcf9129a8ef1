// Handles carried as 32-bit numbers. USER and GDI handles have 32
// significant bits in every process; a 64-bit process sign-extends them, so
// a number that went through 32 bits (a host's decimal reply, a control's
// state word) becomes a handle again only through this one conversion.
#pragma once

#include <windows.h>

#include <cstdint>

template <typename Handle> Handle handleFromLow32(uint32_t low32) {
    return reinterpret_cast<Handle>(static_cast<intptr_t>(static_cast<int32_t>(low32)));
}
