#include "base/conversions.h"
#include "base/exceptions.h"
#include "base/format_settings.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace base {
namespace {

using namespace std::string_literals;

FormatSettings Separators(std::string decimal, std::string thousands) {
    FormatSettings settings;
    settings.DecimalSeparator = std::move(decimal);
    settings.ThousandSeparator = std::move(thousands);
    return settings;
}

TEST(StrToInt, AcceptsDecimalAndHexForms) {
    const struct {
        std::string text;
        int32_t value;
    } cases[] = {
        {"0", 0},
        {"123", 123},
        {"   42", 42},
        {"+7", 7},
        {"-15", -15},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
        {"0000000000000000000000012", 12},
        {"$FF", 255},
        {"xff", 255},
        {"Xff", 255},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1},
        {"$80000000", std::numeric_limits<int32_t>::min()},
        {"$00000001", 1},
        {"-$10", -16},
        {"  -0x2", -2},
        {"-$FFFFFFFF", 1}, // the sign applies to the 32-bit pattern
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt(c.text), c.value);
        int32_t value = 99;
        EXPECT_TRUE(TryStrToInt(c.text, value));
        EXPECT_EQ(value, c.value);
    }
}

TEST(StrToInt, RejectsMalformedTextWithTheExactMessage) {
    const std::string cases[] = {
        "",
        " ",
        "+",
        "-",
        "$",
        "x",
        "0x",
        "$123456789", // nine hex digits
        "2147483648",
        "-2147483649",
        "1234567890123456789012345678901234567890",
        "1 ",
        "1,000",
        "12a",
        "1.5",
        "--1",
        "- 1",
        "$ 1",
        "0x-1",
        "\t1",
        "1\r\n",
        "1\0"s,
        "$G",
        "99999999999999999999",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        int32_t value = 99;
        EXPECT_FALSE(TryStrToInt(text, value));
        EXPECT_EQ(value, 99) << "a failed conversion must leave the value alone";
        try {
            (void)StrToInt(text);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "''" + text + "'' is not a valid integer value");
        }
    }
}

TEST(StrToInt, EmptyTextGivesFourQuotes) {
    EXPECT_THROW(
        {
            try {
                (void)StrToInt("");
            } catch (const EConvertError& e) {
                EXPECT_STREQ(e.what(), "'''' is not a valid integer value");
                throw;
            }
        },
        EConvertError);
}

TEST(StrToFloat, ParsesWithTheCurrentDecimalSeparator) {
    ScopedFormatSettings dot(Separators(".", ","));
    const struct {
        std::string text;
        long double value;
    } cases[] = {
        {"10", 10.0L},
        {" 2.5 ", 2.5L},
        {"-0.25", -0.25L},
        {"+3", 3.0L},
        {".5", 0.5L},
        {"5.", 5.0L},
        {"1e3", 1000.0L},
        {"1E-2", 0.01L},
        {"2.5e+2", 250.0L},
        {"0.1", 0.1L}, // extended precision, not the double nearest 0.1
        {"1e-6000", 0.0L},
        // Too small to hold without an exponent, and with a large one that does not save it.
        {"0." + std::string(5000, '0') + "1", 0.0L},
        {"0." + std::string(5000, '0') + "1e40", 0.0L},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToFloat(c.text), c.value);
    }
    EXPECT_NE(StrToFloat("0.1"), static_cast<long double>(0.1));

    ScopedFormatSettings comma(Separators(",", "."));
    EXPECT_EQ(StrToFloat("1,5"), 1.5L);
    EXPECT_EQ(StrToFloat("-0,125e1"), -1.25L);
}

TEST(StrToFloat, RejectsMalformedTextWithTheExactMessage) {
    ScopedFormatSettings dot(Separators(".", ","));
    const std::string cases[] = {
        "",
        " ",
        "-",
        ".",
        "1e",
        "1e+",
        "1,5",
        "1,000.5",
        "1.5.2",
        "abc",
        "1e99999",
        "nan",
        "inf",
        "0x10",
        "$10",
        "1 2",
        "1.5\r\n",
        "1\0"s,
        "e5",
        // Far too large, although the exponent is negative.
        "1" + std::string(5000, '0') + "e-5",
        "-1" + std::string(5000, '0') + ".5e-60",
        "0.00001e99999",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        try {
            (void)StrToFloat(text);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + text + "' is not a valid floating point value");
        }
    }
    ScopedFormatSettings comma(Separators(",", "."));
    EXPECT_THROW((void)StrToFloat("1.5"), EConvertError);
}

TEST(FloatToStr, ShortestFormWithFifteenDigits) {
    ScopedFormatSettings dot(Separators(".", ","));
    const struct {
        long double value;
        std::string text;
    } cases[] = {
        {0.0L, "0"},
        {-0.0L, "0"},
        {2.0L, "2"},
        {1.5L, "1.5"},
        {-1.5L, "-1.5"},
        {0.1L, "0.1"},
        {static_cast<long double>(0.1), "0.1"},
        {1.0L / 3.0L, "0.333333333333333"},
        {2.0L / 3.0L, "0.666666666666667"},
        {14175.0L, "14175"},
        {static_cast<long double>(static_cast<double>(13675010u * 0.001L)), "13675.01"},
        {123456789012345.0L, "123456789012345"},
        {999999999999999.9L, "1E15"},
        {1e15L, "1E15"},
        {1234567890123456.0L, "1.23456789012346E15"},
        {-2.5e20L, "-2.5E20"},
        {0.00001L, "0.00001"},
        {0.000123L, "0.000123"},
        {0.000001L, "1E-6"},
        {1.5e-7L, "1.5E-7"},
        {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
        {std::numeric_limits<long double>::infinity(), "INF"},
        {-std::numeric_limits<long double>::infinity(), "-INF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FloatToStr(c.value), c.text);
    }
    ScopedFormatSettings comma(Separators(",", "."));
    EXPECT_EQ(FloatToStr(1.5L), "1,5");
    EXPECT_EQ(FloatToStr(1234.5L), "1234,5") << "never a thousands separator";
    EXPECT_EQ(FloatToStr(1.5e-7L), "1,5E-7");
}

TEST(FloatToStr, RoundTripsThroughStrToFloat) {
    ScopedFormatSettings comma(Separators(",", "."));
    for (long double v : {1.25L, -3.75e-3L, 123456.789L, 9.87654321e-10L, 4.5e300L}) {
        SCOPED_TRACE(static_cast<double>(v));
        const long double back = StrToFloat(FloatToStr(v));
        EXPECT_NEAR(static_cast<double>(back / v), 1.0, 1e-14);
    }
}

TEST(IntToStr, Digits) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(14175), "14175");
    EXPECT_EQ(IntToStr(-1), "-1");
    EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::max()), "9223372036854775807");
}

TEST(FormatFloat, AxisLabelFormat) {
    ScopedFormatSettings dot(Separators(".", ","));
    const struct {
        long double value;
        std::string text;
    } cases[] = {
        {0.0L, "0"},
        {1.0L, "1"},
        {100.0L, "100"},
        {13675.0L, "13,675"},
        {1234.5L, "1,234.5"},
        {-1234.5L, "-1,234.5"},
        {1234567.891L, "1,234,567.891"},
        {0.1234L, "0.123"},
        {0.0004L, "0"},
        {-0.0004L, "0"}, // no "-0"
        {1.9999L, "2"},
        {999.9996L, "1,000"},
        {1e6L, "1,000,000"},
        {0.25L, "0.25"},
        {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatFloat("#,##0.###", c.value), c.text);
    }
}

TEST(FormatFloat, SeparatorsAndOtherPlaces) {
    {
        ScopedFormatSettings german(Separators(",", "."));
        EXPECT_EQ(FormatFloat("#,##0.###", 1234567.5L), "1.234.567,5");
    }
    {
        // An empty thousands separator leaves the grouping out.
        ScopedFormatSettings none(Separators(".", ""));
        EXPECT_EQ(FormatFloat("#,##0.###", 1234567.5L), "1234567.5");
    }
    {
        // A separator of several bytes (a no-break space in UTF-8) is kept whole.
        ScopedFormatSettings french(Separators(",", "\u202f"));
        EXPECT_EQ(FormatFloat("#,##0.###", 12345.25L), "12\u202f345,25");
    }
    ScopedFormatSettings dot(Separators(".", ","));
    EXPECT_EQ(FormatFloat("0.00", 1.5L), "1.50");
    EXPECT_EQ(FormatFloat("000", 7.0L), "007");
    EXPECT_EQ(FormatFloat("0", 2.5e6L), "2500000");
    EXPECT_EQ(FormatFloat("#,##0", 1234.6L), "1,235");
    // Longer than any label: 2^140, exact in binary, so every digit is known.
    EXPECT_EQ(FormatFloat("#,##0.###", std::ldexp(1.0L, 140)),
              "1,393,796,574,908,163,946,345,982,392,040,522,594,123,776");
    EXPECT_EQ(FormatFloat("0", std::numeric_limits<long double>::max()).size(), 4933u);
}

TEST(Copy, SubstringRule) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    const struct {
        int64_t index;
        int64_t count;
        std::string result;
    } cases[] = {
        {1, 2, "he"},      {2, 3, "ell"},         {0, 2, "he"},
        {-5, 3, "hel"},    {5, 10, "o"},          {6, 1, ""},
        {2, 0, ""},        {2, -1, ""},           {1, 5, "hello"},
        {2, kMax, "ello"}, {kMin, kMax, "hello"}, {kMax, 1, ""},
        {kMin, 1, "h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << "," << c.count);
        EXPECT_EQ(Copy("hello", c.index, c.count), c.result);
    }
    EXPECT_EQ(Copy("", 1, 1), "");
    // The start marker test on a short line: position L - 6 is raised to 1.
    EXPECT_EQ(Copy("Sta", 3 - 6, 5), "Sta");
    EXPECT_EQ(Copy("a\0b"s, 2, 2), "\0b"s);
}

TEST(Pos, FirstOccurrence) {
    EXPECT_EQ(Pos("lo", "hello"), 4);
    EXPECT_EQ(Pos("l", "hello"), 3);
    EXPECT_EQ(Pos("h", "hello"), 1);
    EXPECT_EQ(Pos("x", "hello"), 0);
    EXPECT_EQ(Pos("", "hello"), 0);
    EXPECT_EQ(Pos("hello!", "hello"), 0);
    EXPECT_EQ(Pos("\r\n", "1,2\r\n"), 4);
}

TEST(Round, HalfToEvenAndSaturating) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    const long double two63 = 9223372036854775808.0L;
    const struct {
        long double value;
        int64_t result;
    } cases[] = {
        {0.5L, 0},
        {1.5L, 2},
        {2.5L, 2},
        {3.5L, 4},
        {-0.5L, 0},
        {-1.5L, -2},
        {-2.5L, -2},
        {2.4L, 2},
        {2.6L, 3},
        {-2.6L, -3},
        {0.49999999999999999L, 0},
        {1e30L, kMax},
        {-1e30L, kMin},
        {two63, kMax},
        {two63 - 0.5L, kMax}, // rounds up to 2^63, which does not fit
        {two63 - 1.0L, kMax},
        {-two63, kMin},
        {std::numeric_limits<long double>::infinity(), kMax},
        {-std::numeric_limits<long double>::infinity(), kMin},
        {std::numeric_limits<long double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.value));
        EXPECT_EQ(Round(c.value), c.result);
    }
}

} // namespace
} // namespace base
