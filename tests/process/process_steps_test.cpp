// The lookup's steps over a scripted process list. Defining the platform layer
// here keeps the library's out of the link; paths compare the Windows way.
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
};

const std::string kTool = R"(C:\Apps\Tool\Tool.exe)";
const char* const kToolImage = R"(\Device\HarddiskVolume3\apps\tool\TOOL.EXE)";
// A process's identifier is its place in the list, from 1.
FakeProcess processes[] = {{R"(\Tool\Tool.exe)", true}, // shorter than kTool's compared part
                           {kToolImage, false},
                           {kToolImage, true},
                           {kToolImage, true}};
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
    if (!process.opensPlain && !privilegeEnabled)
        return nullptr;
    ++openHandles;
    return &process;
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

} // namespace goz::platform

namespace {

uint32_t Lookup(std::string path, bool& privilegeTried) {
    uint32_t id = 12345;
    bool found = FindProcessByImagePath(path.data(), id, privilegeTried);
    EXPECT_EQ(found, id != 0) << path;
    EXPECT_EQ(openHandles, 0) << "every opened process is closed";
    return id;
}

// Process 2 opens only with the privilege: finding it shows the attempt was made.
TEST(ProcessLookupSteps, TriesTheDebugPrivilegeOncePerFlag) {
    bool tried = false;
    EXPECT_EQ(Lookup(R"(C:\Tool\Tool.exe)", tried), 1U);
    EXPECT_FALSE(tried) << "no process refused before the match";
    EXPECT_EQ(Lookup(kTool, tried), 2U);
    EXPECT_TRUE(tried);
    privilegeEnabled = false;
    EXPECT_EQ(Lookup(kTool, tried), 3U) << "the first match in list order";
    bool ownTried = false;
    EXPECT_EQ(Lookup(kTool, ownTried), 2U);
    EXPECT_EQ(privilegeAttempts, 2);

    // The two-argument form keeps the library's own flag across calls.
    for (uint32_t expected : {2U, 3U}) {
        privilegeEnabled = false;
        std::string path = kTool;
        uint32_t id = 0;
        EXPECT_TRUE(FindProcessByImagePath(path.data(), id));
        EXPECT_EQ(id, expected);
    }
    EXPECT_EQ(privilegeAttempts, 3);
}

TEST(ProcessLookupSteps, EmptyTailOrMissingListFindsNothing) {
    bool tried = false;
    // Nothing left to compare: every image would end with it.
    for (const char* path : {"", "C", "C:"})
        EXPECT_EQ(Lookup(path, tried), 0U) << path;
    uint32_t id = 1;
    EXPECT_FALSE(FindProcessByImagePath(nullptr, id, tried));
    EXPECT_EQ(id, 0U);

    listFails = true;
    std::string path = kTool;
    id = 1;
    EXPECT_FALSE(FindProcessByImagePath(path.data(), id, tried));
    EXPECT_EQ(id, 0U);
    EXPECT_EQ(path, kTool) << "no list, no rewrite";
    listFails = false;
}

} // namespace
