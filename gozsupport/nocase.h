// The case-insensitive comparison behind CompareNoCase and CompareNoCaseN,
// and the byte rule it shares with the slash rewrite of the process lookup.
#pragma once

#include "gozsupport/codepage_platform.h"

#include <cstddef>

namespace goz {

// Whether `c` begins a two-byte character, whose second byte may be 0x5C or
// an ASCII letter (ソ is 83 5C in code page 932) and is no character of its own.
inline bool BeginsDoubleByte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 && platform::IsLeadByte(u);
}

// Folds A to Z down and nothing else. tolower would follow the process
// locale, which the bridge's Qt takes from the user: a Turkish one leaves I
// alone, a single-byte one folds letters above 0x7F, and names in files would
// match or not by the user's language.
inline unsigned char FoldAscii(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// -1, 0 or 1 over at most `n` bytes, the terminating NUL included; null
// sorts first. Second bytes of two-byte characters are not folded.
inline int CompareFolded(const char* a, const char* b, size_t n) {
    if (!a)
        return b ? -1 : 0;
    if (!b)
        return 1;
    bool secondByte = false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = secondByte ? static_cast<unsigned char>(a[i]) : FoldAscii(a[i]);
        unsigned char cb = secondByte ? static_cast<unsigned char>(b[i]) : FoldAscii(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
        // Equal so far, so a lead byte here begins a character in both.
        secondByte = !secondByte && BeginsDoubleByte(a[i]);
    }
    return 0;
}

} // namespace goz
