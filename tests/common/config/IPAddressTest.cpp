#include <gtest/gtest.h>

#include "common/config/IPAddress.h"

namespace tarnix {
namespace {

TEST(IsValidIPAddress, AcceptsDottedAddressesWithZeroOnlyAfterTheFirstPart) {
    for (const char* text : {"1.2.3.4", "255.255.255.255", "192.168.0.1", "10.0.0.5", "127.0.0.1", "1.0.0.0",
                             "010.001.000.009", "0000000000001.2.3.4"})
        EXPECT_TRUE(IsValidIPAddress(text)) << text;
}

TEST(IsValidIPAddress, RejectsEverythingElse) {
    for (const char* text : {"",
                             ".",
                             "...",
                             "0.1.2.3",
                             "000.1.2.3",
                             "1.2.3.256",
                             "256.1.1.1",
                             "1.2.3",
                             "1.2.3.4.5",
                             ".1.2.3",
                             "1.2.3.",
                             "1..2.3",
                             "1.2..3",
                             " 1.2.3.4",
                             "1.2.3.4 ",
                             "+1.2.3.4",
                             "1.-2.3.4",
                             "1.2.3.a",
                             "1,2,3,4",
                             "host.example",
                             "99999999999999999999.1.1.1",
                             "1.2.3.4\n"})
        EXPECT_FALSE(IsValidIPAddress(text)) << '"' << text << '"';
    EXPECT_FALSE(IsValidIPAddress(std::string_view("1.2.3.4\0", 8)));
}

TEST(IsStrictIPAddress, AcceptsOnlyPartsOneTo255) {
    for (const char* text : {"1.2.3.4", "255.255.255.255", "010.001.002.009"})
        EXPECT_TRUE(IsStrictIPAddress(text)) << text;
    for (const char* text :
         {"192.168.0.1", "10.0.0.5", "1.2.3.0", "0.1.2.3", "1.2.3.256", "1..2.3", "", "a.b.c.d"})
        EXPECT_FALSE(IsStrictIPAddress(text)) << text;
}

} // namespace
} // namespace tarnix
