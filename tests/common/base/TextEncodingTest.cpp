#include <gtest/gtest.h>

#include "common/base/TextEncoding.h"

namespace tarnix {
namespace {

// A Windows-1252 file that happens to pass as UTF-8 would be read wrongly, and one that is
// UTF-8 but refused would be garbled: the boundaries of the UTF-8 test matter.
TEST(IsValidUtf8, AcceptsWellFormedTextOnly) {
    for (const char* text :
         {"", "plain", "B\xC3\xBCro", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(IsValidUtf8(text)) << text;
    for (const char* text : {"B\xFCro", "\x80", "\xC3", "\xE2\x82", "\xC0\xAF", "\xE0\x80\xAF",
                             "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xC3\xBC\xFC"})
        EXPECT_FALSE(IsValidUtf8(text)) << text;
}

TEST(Windows1252ToUtf8, MapsEveryByte) {
    EXPECT_EQ(Windows1252ToUtf8("a\x7F"), "a\x7F");
    EXPECT_EQ(Windows1252ToUtf8("\x80\x9F\x8D"), "\xE2\x82\xAC\xC5\xB8\xC2\x8D");
    EXPECT_EQ(Windows1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
}

} // namespace
} // namespace tarnix
