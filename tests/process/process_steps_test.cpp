// The lookup over a scripted process list, the Windows way: device-form image
// names and a drive designator that is never compared. Defining the platform
// layer here keeps the library's out of the link; the real one is met by the
// bridge's tests, which find a running stand-in.
#include "gozsupport/process.h"
#include "gozsupport/process_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>

namespace {

struct FakeProcess {
    const char* image;
    bool opensPlain; // else only once the debug privilege is enabled
    bool own;        // of this user or logon session
};
const char* const kTool = R"(\Device\HarddiskVolume3\apps\tool\TOOL.EXE)";
// A process's identifier is its place in the list, from 1.
FakeProcess processes[] = {{R"(\Tool\Tool.exe)", true, true},
                           {kTool, false, true},
                           {kTool, true, false},
                           {kTool, true, true}};
bool listFails = false, privilegeEnabled = false;
int privilegeAttempts = 0, openHandles = 0;

} // namespace

namespace goz::platform {

const size_t DriveDesignatorLength = 2;

bool ListProcessIds(uint32_t* ids, uint32_t capacity, uint32_t& count) {
    for (count = 0; count < std::size(processes) && count < capacity; ++count)
        ids[count] = count + 1;
    return !listFails;
}
ProcessHandle OpenProcessForQuery(uint32_t id) {
    FakeProcess& process = processes[id - 1];
    openHandles += process.opensPlain || privilegeEnabled;
    return process.opensPlain || privilegeEnabled ? &process : nullptr;
}
void EnableDebugPrivilege() {
    ++privilegeAttempts;
    privilegeEnabled = true;
}
void ReadProcessImageName(ProcessHandle process, char* name, uint32_t size) {
    std::snprintf(name, size, "%s", static_cast<FakeProcess*>(process)->image);
}
void CloseProcess(ProcessHandle) {
    --openHandles;
}
bool IsOwnProcess(ProcessHandle process) {
    return static_cast<FakeProcess*>(process)->own;
}

} // namespace goz::platform

// Rows in order, on one once-only flag: the first match in list order wins,
// an image shorter than the compared part never matches, case, slashes and
// the drive letter do not count, and the privilege is tried once per flag.
// The bridge's search passes over another user's process, naming it, and
// keeps the one found open.
TEST(ProcessLookup, MatchesTheTailAndTriesThePrivilegeOncePerFlag) {
    const struct {
        const char* path;
        uint32_t id;
        bool privilegeAfter, ownOnly;
    } rows[] = {{R"(C:\Tool\Tool.exe)", 1, false, false},
                {R"(C:\Apps\Tool\Tool.exe)", 2, true, false},
                {R"(D:/APPS/tool/tool.exe)", 3, false, false},
                {R"(D:/APPS/tool/tool.exe)", 4, false, true},
                {R"(C:\Apps\Tool\Tool.ex)", 0, false, false},
                {"C:", 0, false, false},
                {"C", 0, false, false},
                {"", 0, false, false}};
    bool tried = false;
    for (const auto& row : rows) {
        std::string path = row.path;
        uint32_t id = 12345, passedOver = 0;
        void* held =
            goz::FindOpenProcessByImagePath(path.data(), id, tried, row.ownOnly, &passedOver);
        EXPECT_EQ(passedOver, row.ownOnly ? 3U : 0U) << "another user's, for the trace";
        EXPECT_EQ(held, row.id != 0 ? &processes[row.id - 1] : nullptr) << row.path;
        EXPECT_EQ(id, row.id) << row.path;
        EXPECT_EQ(path.find('\\'), std::string::npos) << "rewritten in place";
        EXPECT_EQ(privilegeEnabled, row.privilegeAfter) << row.path;
        EXPECT_EQ(openHandles, held ? 1 : 0) << "only the process found stays open";
        if (held)
            goz::platform::CloseProcess(held);
        privilegeEnabled = false;
    }
    EXPECT_EQ(privilegeAttempts, 1);
    // The library's own flag is another, and is kept across calls.
    for (uint32_t expected : {2U, 3U}) {
        std::string path = R"(C:\Apps\Tool\Tool.exe)";
        uint32_t id = 0;
        EXPECT_TRUE(FindProcessByImagePath(path.data(), id));
        EXPECT_EQ(id, expected);
        EXPECT_EQ(openHandles, 0);
        privilegeEnabled = false;
    }
    EXPECT_EQ(privilegeAttempts, 2);
    // Without a list, nothing is touched.
    listFails = true;
    std::string path = R"(C:\Apps\Tool\Tool.exe)";
    uint32_t id = 1;
    EXPECT_FALSE(FindProcessByImagePath(path.data(), id, tried));
    EXPECT_EQ(id, 0U);
    EXPECT_EQ(path, R"(C:\Apps\Tool\Tool.exe)");
}
