// The decision whether a program may be started, over owners and access
// entries that Wine cannot make. Under Wine the descriptors are made from
// SDDL by the system and read by the library; elsewhere the test reads them.
#include "gozsupport/trust.h"
#include "gozsupport/trust_platform.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <sddl.h>
#endif

using goz::Distrust;
using goz::TrustRole;

namespace {

const TrustRole kFile = TrustRole::Program, kFolder = TrustRole::ProgramFolder,
                kUpper = TrustRole::UpperFolder;
const char* const kInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

#if defined(_WIN32)
const std::string& Self() {
    return goz::platform::SelfSid();
}
goz::SecurityFacts Read(std::string sddl) {
    for (size_t at; (at = sddl.find("ME")) != std::string::npos;)
        sddl.replace(at, 2, Self());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
        << sddl;
    goz::SecurityFacts facts = goz::platform::FactsOf(descriptor);
    LocalFree(descriptor);
    return facts;
}
#else
const std::string& Self() {
    static const std::string self = "S-1-5-21-7-8-9-1001";
    return self;
}
std::string Account(const std::string& alias) {
    const std::pair<const char*, const char*> aliases[] = {
        {"BA", "S-1-5-32-544"}, {"SY", "S-1-5-18"}, {"WD", "S-1-1-0"},     {"AU", "S-1-5-11"},
        {"BU", "S-1-5-32-545"}, {"AN", "S-1-5-7"},  {"ME", Self().c_str()}};
    for (const auto& [name, sid] : aliases)
        if (alias == name)
            return sid;
    return alias;
}
// O:<account>[D:(type;flags;0xmask;;;account)...]
goz::SecurityFacts Read(const std::string& sddl) {
    goz::SecurityFacts facts;
    const size_t dacl = sddl.find("D:");
    facts.owner = Account(sddl.substr(2, dacl - 2));
    facts.hasDacl = dacl != std::string::npos;
    for (size_t at = sddl.find('('); at != std::string::npos; at = sddl.find('(', at + 1)) {
        std::vector<std::string> fields(1);
        for (size_t i = at + 1; sddl[i] != ')'; ++i) {
            if (sddl[i] == ';')
                fields.emplace_back();
            else
                fields.back() += sddl[i];
        }
        facts.entries.push_back({fields[0] == "A", fields[1].find("IO") != std::string::npos,
                                 Account(fields[5]),
                                 static_cast<uint32_t>(std::stoul(fields[2], nullptr, 16))});
    }
    return facts;
}
#endif

} // namespace

// Who may own the objects on the way, which entries count, and which rights
// each of them may grant to anybody else.
TEST(StartTrust, OwnersAndAccessEntriesOnWindows) {
    const std::string installer = std::string("O:") + kInstaller;
    const struct {
        std::string sddl;
        TrustRole role;
        Distrust expected;
    } rows[] = {
        {installer + "D:(A;;0x1f01ff;;;SY)(A;;0x1200a9;;;BU)(A;OICIIO;0x10000000;;;S-1-3-0)", kFile,
         Distrust::None},
        {"O:MED:(A;;0x1f01ff;;;ME)(A;;0x1f01ff;;;BA)(A;;0x1f01ff;;;S-1-3-4)", kFolder,
         Distrust::None},
        {"O:SYD:(D;;0x1f01ff;;;WD)(A;OICIIO;0x1f01ff;;;AU)", kFolder, Distrust::None},
        // A drive root where every user may make a folder.
        {"O:SYD:(A;;0x100004;;;AU)", kUpper, Distrust::None},
        {"O:SYD:(A;;0x100004;;;AU)", kFolder, Distrust::Writable},
        {"O:SYD:(A;;0x2;;;AU)", kFolder, Distrust::Writable},
        {"O:SYD:(A;;0x100;;;BU)", kFile, Distrust::Writable},
        {"O:SYD:(A;;0x100;;;BU)", kUpper, Distrust::None},
        {"O:SYD:(A;;0x40;;;BU)", kUpper, Distrust::Writable},
        {"O:SYD:(A;;0x80000;;;WD)", kUpper, Distrust::Writable},
        {"O:SYD:(A;;0x40000000;;;BU)", kFile, Distrust::Writable},
        {"O:SYD:(A;;0x10000000;;;BU)", kUpper, Distrust::Writable},
        // No DACL, as a NULL one: Wine makes "D:NO_ACCESS_CONTROL" an empty DACL.
        {"O:BA", kFile, Distrust::NullDacl},
        {"O:AND:(A;;0x1200a9;;;WD)", kFile, Distrust::Owner},
        {"O:BUD:(A;;0x1f01ff;;;SY)", kUpper, Distrust::Owner},
    };
    for (const auto& row : rows)
        EXPECT_EQ(goz::JudgeWindows(row.role, Read(row.sddl), Self()), row.expected) << row.sddl;
    goz::SecurityFacts fat = Read("O:SYD:(A;;0x1f01ff;;;SY)");
    fat.ownersRecorded = false;
    EXPECT_EQ(goz::JudgeWindows(kFile, fat, Self()), Distrust::NoOwners);
}

// A sticky folder such as /tmp may be writable by all; the program never.
TEST(StartTrust, StickyFoldersAndPlainFilesOnPosix) {
    const goz::PosixFacts sticky{0, false, true, true, true}, program{7, true, false, false, false};
    EXPECT_EQ(goz::JudgePosix(kUpper, sticky, 7), Distrust::None);
    EXPECT_EQ(goz::JudgePosix(kFile, {0, true, false, true, true}, 7), Distrust::Writable);
    EXPECT_EQ(goz::JudgePosix(kFile, program, 7), Distrust::None);
    EXPECT_EQ(goz::JudgePosix(kFile, program, 8), Distrust::Owner);
    EXPECT_EQ(goz::JudgePosix(kFolder, program, 7), Distrust::NotAFile);
}

TEST(StartTrust, FoldersUpToTheRoot) {
    using Folders = std::vector<std::string>;
    EXPECT_EQ(goz::FoldersAbove("/opt/q/Quiltara", "/"), (Folders{"/opt/q", "/opt", "/"}));
    EXPECT_EQ(goz::FoldersAbove(goz::WithoutLongPrefix(R"(\\?\C:\Apps\Q\Q.exe)"), "\\/"),
              (Folders{R"(C:\Apps\Q)", R"(C:\Apps)", R"(C:\)"}));
    EXPECT_EQ(goz::FoldersAbove(goz::WithoutLongPrefix(R"(\\?\UNC\srv\share\Q\Q.exe)"), "\\/"),
              (Folders{R"(\\srv\share\Q)", R"(\\srv\share\)"}));
}
