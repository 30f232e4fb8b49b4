// The lookup's steps over a scripted process list. This file defines the
// platform layer itself, so the linker takes none from the library; paths
// are compared the Windows way, drive designator passed over, on every host.
#include "gozsupport/process.h"
#include "gozsupport/process_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct FakeProcess {
    uint32_t id;
    const char* image;
    bool opensPlain; // else only once the debug privilege is enabled
};

std::vector<FakeProcess> processes;
bool listFails = false;
bool privilegeEnabled = false;
int privilegeAttempts = 0;
int opened = 0;
int openHandles = 0;

void Reset(std::vector<FakeProcess> list) {
    processes = std::move(list);
    listFails = privilegeEnabled = false;
    privilegeAttempts = opened = openHandles = 0;
}

} // namespace

namespace goz::platform {

const size_t DriveDesignatorLength = 2;

bool ListProcessIds(uint32_t* ids, uint32_t capacity, uint32_t& count) {
    count = 0;
    for (const FakeProcess& process : processes) {
        if (count < capacity)
            ids[count++] = process.id;
    }
    return !listFails;
}

ProcessHandle OpenProcessForQuery(uint32_t id) {
    for (FakeProcess& process : processes) {
        if (process.id == id && (process.opensPlain || privilegeEnabled)) {
            ++opened;
            ++openHandles;
            return &process;
        }
    }
    return nullptr;
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

const std::string kTool = R"(C:\Apps\Tool\Tool.exe)";
const char* const kToolImage = R"(\Device\HarddiskVolume3\apps\tool\TOOL.EXE)";

uint32_t Lookup(std::string path, bool& privilegeTried) {
    uint32_t id = 12345;
    bool found = FindProcessByImagePath(path.data(), id, privilegeTried);
    EXPECT_EQ(found, id != 0) << path;
    EXPECT_EQ(openHandles, 0) << "every opened process is closed";
    return id;
}

TEST(ProcessLookupSteps, FirstMatchInListOrderWins) {
    Reset({{4, R"(\Device\HarddiskVolume3\Tool.exe)", true},
           {8, kToolImage, true},
           {9, kToolImage, true}});
    bool tried = false;
    EXPECT_EQ(Lookup(kTool, tried), 8U);
    EXPECT_EQ(opened, 2) << "later processes are not opened";
    EXPECT_FALSE(tried);
}

TEST(ProcessLookupSteps, TriesTheDebugPrivilegeOncePerFlag) {
    Reset({{4, "", false}, {8, kToolImage, true}});
    bool tried = false;
    EXPECT_EQ(Lookup(kTool, tried), 8U);
    EXPECT_TRUE(tried);
    EXPECT_EQ(opened, 2) << "4 opened on the second try";
    privilegeEnabled = false;
    EXPECT_EQ(Lookup(kTool, tried), 8U);
    EXPECT_EQ(privilegeAttempts, 1);

    bool ownTried = false;
    EXPECT_EQ(Lookup(kTool, ownTried), 8U);
    EXPECT_EQ(privilegeAttempts, 2);

    // The two-argument form keeps the library's own flag across calls.
    for (int call = 0; call < 2; ++call) {
        privilegeEnabled = false;
        std::string path = kTool;
        uint32_t id = 0;
        EXPECT_TRUE(FindProcessByImagePath(path.data(), id));
    }
    EXPECT_EQ(privilegeAttempts, 3);
}

TEST(ProcessLookupSteps, EmptyTailOrMissingListFindsNothing) {
    Reset({{4, "", true}, {8, R"(\Device\HarddiskVolume1\x)", true}});
    bool tried = false;
    EXPECT_EQ(Lookup("C:", tried), 0U);
    std::string path = "C\\";
    uint32_t id = 1;
    EXPECT_FALSE(FindProcessByImagePath(path.data(), id, tried));
    EXPECT_EQ(path, "C/") << "the list was had, so the path is rewritten";
    EXPECT_EQ(opened, 0);

    listFails = true;
    path = kTool;
    id = 1;
    EXPECT_FALSE(FindProcessByImagePath(path.data(), id, tried));
    EXPECT_EQ(id, 0U);
    EXPECT_EQ(path, kTool) << "no list, no rewrite";
}

} // namespace
