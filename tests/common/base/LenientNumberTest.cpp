#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "common/base/LenientNumber.h"

namespace tarnix {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfATextLeniently) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"60", 60},     {"0060", 60},  {" 6 0 ", 60},   {"60 s", 60},     {"60s", 60},      {"abc", 0},
        {"", 0},        {"-", 0},      {".", 0},        {"-12.5", -12.5}, {"+7", 7},        {".5", 0.5},
        {"5.", 5},      {"1e3", 1000}, {"1 e 3", 1000}, {"2E-1", 0.2},    {"1.5e", 1.5},    {"1e+2x", 100},
        {"1.2.3", 1.2}, {"--5", 0},    {"\t5", 0},      {"1e400", inf},   {"-1e400", -inf}, {"1e-400", 0},
        {"0x10", 0},    {"1,5", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(LeadingNumber, TellsTooLargeFromTooSmallByItsSizeNotItsSpelling) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(LeadingNumber("0." + std::string(330, '0') + "1"), 0.0);  // tiny without an exponent
    EXPECT_EQ(LeadingNumber("1" + std::string(400, '0') + "e-5"), inf); // huge despite "e-"
    EXPECT_EQ(LeadingNumber("-1" + std::string(400, '0')), -inf);
    EXPECT_EQ(LeadingNumber("1e99999999999999999999"), inf);
}

TEST(RoundIntoField, RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
    const struct {
        double value;
        std::optional<std::int16_t> asInt16;
        std::optional<std::int32_t> asInt32;
    } cases[] = {
        {2.5, 2, 2},
        {3.5, 4, 4},
        {-2.5, -2, -2},
        {5.4999, 5, 5},
        {32767.4, 32767, 32767},
        {32767.5, std::nullopt, 32768},
        {-32768.5, -32768, -32768},
        {-32769, std::nullopt, -32769},
        {2147483647.4, std::nullopt, 2147483647},
        {2147483647.5, std::nullopt, std::nullopt},
        {-2147483648.0, std::nullopt, std::numeric_limits<std::int32_t>::min()},
        {std::numeric_limits<double>::infinity(), std::nullopt, std::nullopt},
        {std::nan(""), std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToInt16(c.value), c.asInt16) << c.value;
        EXPECT_EQ(ToInt32(c.value), c.asInt32) << c.value;
    }
}

} // namespace
} // namespace tarnix
