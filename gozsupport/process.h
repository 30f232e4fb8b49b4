// Finds a running process by the path of its executable.
#pragma once

#include <cstdint>

// True when a process runs whose image path ends with the compared part of
// `path` (on Windows `path` from its third character on, the drive designator
// passed over; elsewhere the whole path), slashes unified and ASCII case
// ignored; processId then holds its identifier, else 0. Rewrites the
// backslashes of `path` as slashes once the process list was obtained. A path
// whose compared part is empty matches nothing. Uses the library's own
// once-only flag for the attempt to enable the debug privilege.
bool FindProcessByImagePath(char* path, uint32_t& processId);

// The same search with the caller's own once-only flag for the attempt to
// enable the debug privilege.
bool FindProcessByImagePath(char* path, uint32_t& processId, bool& debugPrivilegeTried);

namespace goz {

// Replaces every backslash with a slash, in place; the second byte of a
// two-byte character is left alone.
void UnifySlashes(char* text);

// Whether an image name (slashes unified) ends with the compared part of
// `path`; never for an empty compared part.
bool ImageNameMatches(const char* path, const char* imageName);

// A process found by the search, held so that a wait for it can end when it
// does. Held, its identifier cannot come to name another process. One that
// cannot be opened never reads as ended.
class ProcessWatch {
public:
    explicit ProcessWatch(uint32_t processId);
    ~ProcessWatch();
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    bool hasEnded() const;

private:
    void* process;
};

} // namespace goz
