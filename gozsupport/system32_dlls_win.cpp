// Linked into each program itself: a static library would drop it, since
// nothing refers to it.
#include <windows.h>

namespace {

// The programs lie in a folder where any user may create files, and Windows
// would look there first for every DLL but the KnownDLLs. The loader calls
// this before the C runtime starts and so before any static constructor, and
// the programs import nothing but KnownDLLs until then: the rest load delayed.
void NTAPI SearchSystem32Only(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// ".CRT$XLB" sorts before the C runtime's own thread-storage callback.
__attribute__((used, section(".CRT$XLB"))) const PIMAGE_TLS_CALLBACK searchSystem32Only =
    SearchSystem32Only;

} // namespace
