#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace kinovela {
namespace {

// Same value, or both NaN; -0 and +0 are told apart.
bool SameDouble(double a, double b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const std::vector<std::string> kSamples = {
    "0", "-0", "+0", "1", "-1", "+1.5", "1.5e3", "1.5E-3", ".5", "-.5", "5.", "1e", "1e+", "1e-2x", "  42", "\t-7",
    "\n3", "abc", "", "-", "+", "+-1", "-+1", "--1", "0x10", "0X1p4", "0x", "0xg", "-0x.8", "inf", "-INF", "infinity",
    "nan", "1e400", "-1e400", "1e-400", "4.9e-324", "2.2250738585072014e-308", "123456789012345678901234567890",
    "0.1", "0.30000000000000004", "1.000000059604644775390625", "3.4028235e38", "3.5e38", "12abc", "1,5", "1.2.3",
    "9999999999", "-9999999999", "2147483647", "2147483648", "-2147483648", "-2147483649", "99999999999999999999",
    "-99999999999999999999", "007", "1 2",
};

TEST(Numbers, AtofAgreesWithTheCLibrary)
{
    for (const std::string& s : kSamples)
        EXPECT_TRUE(SameDouble(ParseAtof(s), std::atof(s.c_str()))) << "\"" << s << "\"";
}

TEST(Numbers, AtoiAgreesWithStrtolNarrowedToInt)
{
    // atoi is strtol narrowed to int on this platform; calling atoi itself on
    // out-of-range text would be undefined behaviour.
    for (const std::string& s : kSamples) {
        const long expected = std::strtol(s.c_str(), nullptr, 10);
        EXPECT_EQ(ParseAtoi(s), static_cast<int>(expected)) << "\"" << s << "\"";
    }
}

TEST(Numbers, RandomNumericTextAgreesWithTheCLibrary)
{
    std::mt19937 rng(12345);
    const char alphabet[] = "0123456789.eE+-x ";
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        const int len = static_cast<int>(rng() % 12);
        for (int k = 0; k < len; ++k) s += alphabet[rng() % (sizeof alphabet - 1)];
        ASSERT_TRUE(SameDouble(ParseAtof(s), std::atof(s.c_str()))) << "\"" << s << "\"";
        ASSERT_EQ(ParseAtoi(s), static_cast<int>(std::strtol(s.c_str(), nullptr, 10))) << "\"" << s << "\"";
    }
    std::uniform_real_distribution<double> d(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*g", 1 + static_cast<int>(rng() % 17), d(rng));
        ASSERT_TRUE(SameDouble(ParseAtof(buf), std::atof(buf))) << buf;
    }
}

}  // namespace
}  // namespace kinovela

namespace kinovela {
namespace {

std::string Fixed(double v)
{
    std::string s;
    AppendFixed6(s, v);
    return s;
}

std::string Printf(double v)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%f", v);
    return buf;
}

TEST(Numbers, FixedMatchesPrintf)
{
    for (double v : {0.0, -0.0, 1.0, -1.0, 0.5, 0.0000005, 0.0000015, 0.0000025, -0.0000004, 1e-300, -1e-300,
                     123456.1234565, 2.5e-7, 1e20, -3.4028234663852886e38, 1.7976931348623157e308, 0.1, 0.2, 0.3,
                     999999.9999995, 4.35, 2.675})
        EXPECT_EQ(Fixed(v), Printf(v)) << v;
    EXPECT_EQ(Fixed(-0.0), "-0.000000");
    EXPECT_EQ(Fixed(-1e-9), "-0.000000");
    EXPECT_EQ(Fixed(std::numeric_limits<double>::infinity()), Printf(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(Fixed(-std::numeric_limits<double>::infinity()), Printf(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(Fixed(std::numeric_limits<double>::quiet_NaN()), Printf(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(Fixed(-std::numeric_limits<double>::quiet_NaN()), Printf(-std::numeric_limits<double>::quiet_NaN()));
}

// Every float the exporters print goes through this; a million random
// floats of every magnitude, plus values just around rounding boundaries.
TEST(Numbers, FixedMatchesPrintfOnManyFloats)
{
    std::mt19937 rng(2026);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_real_distribution<double> small(-2000, 2000);
    for (int i = 0; i < 1000000; ++i) {
        float f;
        if (i % 2 == 0) {
            const std::uint32_t b = bits(rng);
            std::memcpy(&f, &b, 4);
        } else {
            f = static_cast<float>(small(rng));
        }
        const double v = f;
        ASSERT_EQ(Fixed(v), Printf(v)) << v;
    }
    for (int k = 0; k < 100000; ++k) {
        const double v = (k + 0.5) / 1e6;  // exactly on a printed half, as close as doubles get
        ASSERT_EQ(Fixed(v), Printf(v)) << v;
        ASSERT_EQ(Fixed(-v), Printf(-v)) << -v;
    }
}

}  // namespace
}  // namespace kinovela
