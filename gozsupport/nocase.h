// The case-insensitive comparison behind CompareNoCase and CompareNoCaseN.
#pragma once

#include <cstddef>

namespace goz {

// Folds A to Z down and nothing else. tolower would follow the process
// locale, which the bridge's Qt takes from the user: a Turkish one leaves I
// alone, a single-byte one folds letters above 0x7F, and names in files would
// match or not by the user's language.
inline unsigned char FoldAscii(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// -1, 0 or 1 over at most `n` bytes, the terminating NUL included; null
// sorts first.
inline int CompareFolded(const char* a, const char* b, size_t n) {
    if (!a)
        return b ? -1 : 0;
    if (!b)
        return 1;
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = FoldAscii(a[i]);
        unsigned char cb = FoldAscii(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
    return 0;
}

} // namespace goz
