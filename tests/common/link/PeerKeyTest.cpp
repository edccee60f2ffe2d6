// Key files as users write them, and the ways they can be wrong.

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

#include "common/link/PeerKey.h"
#include "support/ProgramFolder.h"

namespace tarnix::testing {
namespace {

const std::string Digits = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";

void WriteKey(const std::filesystem::path& file, const std::string& text, mode_t mode = 0600) {
    std::ofstream(file, std::ios::binary) << text;
    ::chmod(file.c_str(), mode);
}

TEST(KeyFile, HoldsOneLineOfSixtyFourHexDigitsThatOnlyItsOwnerMayRead) {
    ProgramFolder folder;
    const std::filesystem::path file = folder.Root() / "Data" / "TarnixS.key";
    EXPECT_EQ(ReadKeyFile(file).key, std::nullopt) << "no file: no key";
    EXPECT_EQ(ReadKeyFile(file).fault, std::nullopt);

    struct Case {
        const char* name;
        std::string text;
        mode_t mode;
        const char* fault; // nothing: a good key
    };
    const std::vector<Case> cases = {
        {"bare", Digits, 0600, nullptr},
        {"with a line end", Digits + "\n", 0400, nullptr},
        {"with CR LF", Digits + "\r\n", 0600, nullptr},
        {"readable by the group", Digits, 0640, "may be read by others"},
        {"readable by all", Digits, 0604, "may be read by others"},
        {"one digit short", Digits.substr(1), 0600, "64 hexadecimal digits"},
        {"one digit more", Digits + "0", 0600, "64 hexadecimal digits"},
        {"not hexadecimal", "g" + Digits.substr(1), 0600, "64 hexadecimal digits"},
        {"a second line", Digits + "\n" + Digits, 0600, "64 hexadecimal digits"},
        {"empty", "", 0600, "64 hexadecimal digits"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(file);
        WriteKey(file, c.text, c.mode);
        const KeyFileContents contents = ReadKeyFile(file);
        if (c.fault == nullptr) {
            ASSERT_TRUE(contents.key) << c.name << ": " << contents.fault.value_or("");
            EXPECT_EQ(contents.key->bytes[1], 0x11) << c.name;
            EXPECT_EQ(contents.key->bytes[31], 0xFF) << c.name;
        } else {
            EXPECT_FALSE(contents.key) << c.name;
            ASSERT_TRUE(contents.fault) << c.name;
            EXPECT_NE(contents.fault->find(c.fault), std::string::npos) << c.name << ": " << *contents.fault;
            EXPECT_NE(contents.fault->find("TarnixS.key"), std::string::npos) << c.name;
            EXPECT_EQ(contents.fault->find(Digits.substr(0, 8)), std::string::npos) << "never the key";
        }
    }
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_NE(ReadKeyFile(file).fault.value_or("").find("not a plain file"), std::string::npos);
}

// A master's own key for a computer wins over its key for all; without either a link is unkeyed.
TEST(KeyFile, AMastersComputerHasItsOwnKeyOrTheOneForAll) {
    ProgramFolder folder;
    LinkKeys keys;
    ASSERT_EQ(keys.Read(ProgramKind::Master), std::nullopt);
    EXPECT_FALSE(keys.Keyed(1));
    WriteKey(folder.Root() / MasterKeyFile(2), std::string(64, '2'));
    ASSERT_EQ(keys.Read(ProgramKind::Master), std::nullopt);
    EXPECT_FALSE(keys.Keyed(1));
    EXPECT_EQ(keys.For(2)->bytes[0], 0x22);
    WriteKey(folder.Root() / MasterKeyFile(0), std::string(64, 'a'));
    ASSERT_EQ(keys.Read(ProgramKind::Master), std::nullopt);
    EXPECT_EQ(keys.For(1)->bytes[0], 0xAA);
    EXPECT_EQ(keys.For(2)->bytes[0], 0x22);
    EXPECT_EQ(keys.For(4)->bytes[0], 0xAA);
    WriteKey(folder.Root() / MasterKeyFile(3), "short");
    const std::optional<FatalError> box = keys.Read(ProgramKind::Master);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->titleSuffix, " Configuration File Error");
    EXPECT_NE(box->lines.front().find("TarnixM3.key"), std::string::npos);
    EXPECT_EQ(box->lines.back(), ProgramWillTerminate);
}

} // namespace
} // namespace tarnix::testing
