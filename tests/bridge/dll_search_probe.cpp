// Built with the programs' start-up code: loads each DLL that they load
// delayed, by name, while its statics are made. Under Wine the programs' own
// calls find version.dll loaded already and make none into the others.
#include <windows.h>

#include <cstring>

static const bool loaded = [] {
    char names[] = PLANTED_DLL_NAMES;
    for (char* name = std::strtok(names, ","); name; name = std::strtok(nullptr, ","))
        LoadLibraryA(name);
    return true;
}();

int main() {
    return loaded ? 0 : 1;
}
