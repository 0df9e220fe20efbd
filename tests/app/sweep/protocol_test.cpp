#include "app/sweep/protocol.h"
#include "base/exceptions.h"

#include <gtest/gtest.h>
#include <string>

namespace app {
namespace {

using namespace std::string_literals;

TEST(ProtocolTest, StartMarker) {
    struct Case {
        std::string line;
        bool marker;
    } cases[] = {
        {"Start\r\n", true},
        {"xyz Start\r\n", true}, // characters before the marker are
                                 // ignored
        {"start\r\n", false},    // exact case
        {"Start \r\n", false},   // a blank before CR LF moves the marker
        {"Start", true},         // length 5: the first five characters
        {"Start\r", true},       // length 6: the first five characters
        {"Starting\r\n", false},
        {"Star\r\n", false},
        {"Star", false},
        {"", false},
        {"\0Start\r\n"s, true},
        {"12,3,250,100\r\n", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsStartMarker(c.line), c.marker) << c.line;
    }
}

TEST(ProtocolTest, DecodesFourFields) {
    struct Case {
        std::string line;
        MeasurementFields fields;
    } cases[] = {
        {"12,3,250,100\r\n", {12, 3, 250, 100}},
        {" 12,3,250,100\r\n", {12, 3, 250, 100}},
        {"-1,+2,$FF,0x10\r\n", {-1, 2, 255, 16}},
        {"2147483647,-2147483648,0,0\r\n", {2147483647, -2147483647 - 1, 0, 0}},
        {"1,2,3,4\r\nrest", {1, 2, 3, 4}}, // d ends at the first CR LF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeMeasurement(c.line), c.fields) << c.line;
    }
}

TEST(ProtocolTest, DecodingFailuresNameTheFirstBadField) {
    const std::string big(1 << 20, '7');
    struct Case {
        std::string line;
        std::string message;
    } cases[] = {
        {"12 ,3,250,100\r\n", "''12 '' is not a valid integer value"},
        {"1,2,3,4,5\r\n", "''4,5'' is not a valid integer value"},
        {"1,2\r\n", "'''' is not a valid integer value"},    // field c missing
        {",2,3,4\r\n", "'''' is not a valid integer value"}, // field a empty
        {"1,2,3,4", "'''' is not a valid integer value"},    // no CR LF: d is empty
        {"1,2,3,4\n", "'''' is not a valid integer value"},
        {"1,x,3,4\r\n", "''x'' is not a valid integer value"},
        {"1,2147483648,3,4\r\n", "''2147483648'' is not a valid integer value"},
        {"1,2,3,\0\r\n"s, "''\0'' is not a valid integer value"s},
        {"1,2,3," + std::string(40, '9') + "\r\n",
         "''" + std::string(40, '9') + "'' is not a valid integer value"},
        // A runaway field is quoted in part only.
        {"1," + big + ",3,4\r\n",
         "''" + std::string(kMaxQuotedField, '7') + "...'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 40));
        try {
            (void)DecodeMeasurement(c.line);
            ADD_FAILURE() << "decoded";
        } catch (const base::EConvertError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(ProtocolTest, FieldSeparator) {
    EXPECT_TRUE(HasFieldSeparator("1,2\r\n"));
    EXPECT_FALSE(HasFieldSeparator("scanr 13675000 14685000 10000\r\n"));
    EXPECT_FALSE(HasFieldSeparator(std::string(1 << 20, 'x')));
    EXPECT_FALSE(HasFieldSeparator(""));
}

TEST(ProtocolTest, ScanCommand) {
    struct Case {
        uint32_t cur, stop;
        double step;
        std::string command;
    } cases[] = {
        {13675000u, 14675000u, 10000.0, "scanr 13675000 14685000 10000\r\n"},
        {1000000u, 600000u, 10000.0, "scanr 1000000 610000 10000\r\n"}, // start above stop
        {1000000u, 1500000u, 250.0, "scanr 1000000 1500250 250\r\n"},
        {1000000u, 1500000u, 333.3, "scanr 1000000 1500333 333\r\n"}, // truncated, not rounded
        {69500000u, 60000000u, 10000.0, "scanr 69500000 60010000 10000\r\n"},
        {1000000u, 60000000u, 4294967295.0, "scanr 1000000 4354967295 4294967295\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildScanCommand(c.cur, c.stop, c.step), c.command);
    }
}

} // namespace
} // namespace app
