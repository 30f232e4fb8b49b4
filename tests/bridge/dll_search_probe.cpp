// Built with the programs' start-up code: loads each DLL that they load
// delayed, while its statics are made, as their delay-load helper does and
// (with the restricted search) by name: the programs' own calls find some
// loaded already under Wine.
#include <windows.h>

#include <delayimp.h>

#include <cstring>

static const bool loaded = [] {
    char names[] = PLANTED_DLL_NAMES;
    for (char* name = std::strtok(names, ","); name; name = std::strtok(nullptr, ",")) {
        DelayLoadInfo info{sizeof info, nullptr, nullptr, name, {}, nullptr, nullptr, 0};
        __pfnDliNotifyHook2(dliNotePreLoadLibrary, &info);
#if !defined(GOZ_AS_ON_UNPATCHED_WINDOWS7)
        LoadLibraryA(name);
#endif
    }
    return true;
}();

int main() {
    return loaded ? 0 : 1;
}
