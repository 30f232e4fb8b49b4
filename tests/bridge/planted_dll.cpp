// A DLL as anyone may drop beside the shipped programs: once loaded, it
// leaves the file that PLANTED_DLL_LOG names.
#include <windows.h>

#include <cstdlib>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    const char* log = std::getenv("PLANTED_DLL_LOG");
    if (reason == DLL_PROCESS_ATTACH && log)
        CloseHandle(CreateFileA(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}
