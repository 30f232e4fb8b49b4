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

// The search itself. With `ownOnly`, processes of other users (POSIX) or
// logon sessions (Windows) are passed over: their single-instance socket
// cannot be reached from here; `passedOver`, when given, receives the id of
// the last such one that runs the image, where the system lets it be read.
// The process found is left open and returned; null when none matched.
void* FindOpenProcessByImagePath(char* path, uint32_t& processId, bool& debugPrivilegeTried,
                                 bool ownOnly, uint32_t* passedOver = nullptr);

// Whether an opened process runs from an image that `path` (slashes unified) matches.
bool RunsImage(void* process, const char* path);

// A process found by the search, held from the search on so that its
// identifier cannot come to name another process, and a wait for it can end
// when it does. Holding none, it reads as ended.
class ProcessWatch {
public:
    ProcessWatch() = default;
    ~ProcessWatch() { reset(); }
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    // Takes over an opened process, letting go of the one held before.
    void reset(void* opened = nullptr, uint32_t processId = 0);
    bool hasEnded() const;
    uint32_t id() const { return processId; }

private:
    void* process = nullptr;
    uint32_t processId = 0;
};

// The bridge's search: only a process of this user or logon session counts,
// and the one found stays held in `found`. `passedOver` as above.
bool FindOwnProcessByImagePath(char* path, ProcessWatch& found, bool& debugPrivilegeTried,
                               uint32_t* passedOver = nullptr);

// Whether process `id` runs as this user, in this logon session, from an
// image that `path` (slashes unified) matches as in the search.
bool IsOwnProcessOf(uint32_t id, const char* path);

} // namespace goz
