// Linked into each program itself: a static library would drop it, since
// nothing refers to it.
#include <windows.h>

#include <delayimp.h>

#include <cstring>

namespace {

// Whether the DLL search is restricted to System32 for the whole process.
bool searchRestricted = false;

// The programs lie in a folder where any user may create files, and Windows
// would look there first for every DLL but the KnownDLLs. The loader calls
// this before the C runtime starts and so before any static constructor. The
// programs import nothing but kernel32 and msvcrt until then, whose forwarded
// exports all lead to system DLLs that are loaded already: every other DLL,
// and so every forwarder to a DLL that is no KnownDLL (advapi32's random
// numbers are cryptbase's), comes through LoadDelayed below.
void NTAPI SearchSystem32Only(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return;
    // Looked up: a Windows 7 without KB2533623 lacks it, and would refuse to
    // start a program that imports it.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
#if defined(GOZ_AS_ON_UNPATCHED_WINDOWS7)
    // Wine has the function, and its advapi32 forwards nothing: a probe built
    // so stands in for such a Windows, the import check for the forwarders.
    set = nullptr;
#endif
    searchRestricted = set && set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!searchRestricted)
        SetDllDirectoryA(""); // the current folder at least goes
}

// ".CRT$XLB" sorts before the C runtime's own thread-storage callback.
__attribute__((used, section(".CRT$XLB"))) const PIMAGE_TLS_CALLBACK searchSystem32Only =
    SearchSystem32Only;

// `name` from System32. Without the restricted search, by its full path: the
// altered search then looks for its own imports there, not in our folder.
HMODULE LoadFromSystem32(const char* name) {
    if (searchRestricted)
        return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char path[MAX_PATH];
    size_t length = GetSystemDirectoryA(path, MAX_PATH), nameLength = std::strlen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// When `module` forwards `function` to another DLL, loads that one from
// System32 first: the loader would look for it by the default search, which
// without the restriction starts in our folder.
void LoadForwardTarget(HMODULE module, const char* function) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (table.Size == 0)
        return;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + table.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (std::strcmp(reinterpret_cast<const char*>(base + names[i]), function) != 0)
            continue;
        // A forwarder is a text "DLL.function" inside the export table.
        DWORD at = functions[ordinals[i]];
        const char* target = reinterpret_cast<const char*>(base + at);
        const char* dot = std::strrchr(target, '.');
        char dll[MAX_PATH];
        size_t length = dot ? static_cast<size_t>(dot - target) : 0;
        if (at >= table.VirtualAddress && at - table.VirtualAddress < table.Size && length > 0 &&
            length + 5 <= sizeof dll) {
            std::memcpy(dll, target, length);
            std::memcpy(dll + length, ".dll", 5);
            LoadFromSystem32(dll);
        }
        return;
    }
}

// The delay-load helper's hook: every delayed DLL, and what its delayed
// functions forward to, from System32 only.
FARPROC WINAPI LoadDelayed(unsigned note, PDelayLoadInfo info) {
    if (note == dliNotePreGetProcAddress && info->dlp.fImportByName)
        LoadForwardTarget(info->hmodCur, info->dlp.szProcName);
    if (note != dliNotePreLoadLibrary)
        return nullptr;
    HMODULE module = LoadFromSystem32(info->szDll);
    // Left to the helper, the load would search our folder first: fail as it fails.
    if (!module && !searchRestricted) {
        ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
        RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
    }
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(module));
}

} // namespace

// The helper's hook, declared in <delayimp.h>; mingw-w64's own is null.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayed;
