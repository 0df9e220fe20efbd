// The scan command as the simulator reads it: whole lines, lines split over reads, and
// everything else noted as malformed without stopping the reading.
#include "analyzer_sim/scan_command.h"

#include <gtest/gtest.h>
#include <string>

namespace analyzer_sim {
namespace {

TEST(ScanCommandTest, ParseTable) {
    struct Case {
        const char* line;
        bool good;
        ScanCommand command;
    };
    const Case cases[] = {
        {"scanr 13675000 14685000 10000", true, {13675000, 14685000, 10000}},
        {"scanr 1000000 610000 10000", true, {1000000, 610000, 10000}}, // end below start
        {"  scanr\t1 2  3 ", true, {1, 2, 3}},
        {"scanr 60000000 4354967295 4294967", true, {60000000, 4354967295LL, 4294967}},
        {"scanr 14000000 14002000", false, {}},
        {"scanr 14000000 14002000 1000 5", false, {}},
        {"scanr 14000000 14002000 0", false, {}},
        {"scanr 0 14002000 1000", false, {}},
        {"scanr -5 14002000 1000", false, {}},
        {"scanr 14000000 14002000 -1000", false, {}},
        {"scanr 14e6 14002000 1000", false, {}},
        {"scanr 14000000 14002000 1000x", false, {}},
        {"scanr 99999999999999999999 1 1", false, {}},
        {"SCANR 1 2 3", false, {}},
        {"scan 1 2 3", false, {}},
        {"hello", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const CommandEvent event = ParseCommandLine(c.line);
        if (c.good) {
            ASSERT_TRUE(std::holds_alternative<ScanCommand>(event));
            EXPECT_EQ(std::get<ScanCommand>(event), c.command);
        } else {
            ASSERT_TRUE(std::holds_alternative<MalformedCommand>(event));
            EXPECT_EQ(std::get<MalformedCommand>(event).text, c.line);
            EXPECT_FALSE(std::get<MalformedCommand>(event).reason.empty());
        }
    }
}

TEST(ScanCommandTest, CommandSplitAtEveryByteGivesOneCommand) {
    const std::string wire = "scanr 14000000 14002000 1000\r\n";
    for (size_t cut = 0; cut <= wire.size(); ++cut) {
        CommandParser parser;
        std::vector<CommandEvent> events = parser.Feed(wire.substr(0, cut));
        for (CommandEvent& e : parser.Feed(wire.substr(cut))) {
            events.push_back(std::move(e));
        }
        ASSERT_EQ(events.size(), 1u) << cut;
        EXPECT_EQ(std::get<ScanCommand>(events[0]), (ScanCommand{14000000, 14002000, 1000}));
    }
}

TEST(ScanCommandTest, ByteByByteWithNoiseAndBlankLines) {
    const std::string wire = "\r\n\r\ngarbage\r\nscanr 1 5 1\nscanr 7 7 1\r\n";
    CommandParser parser;
    std::vector<CommandEvent> events;
    for (const char ch : wire) {
        for (CommandEvent& e : parser.Feed(std::string(1, ch))) {
            events.push_back(std::move(e));
        }
    }
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(std::get<MalformedCommand>(events[0]).text, "garbage");
    EXPECT_EQ(std::get<ScanCommand>(events[1]), (ScanCommand{1, 5, 1}));
    EXPECT_EQ(std::get<ScanCommand>(events[2]), (ScanCommand{7, 7, 1}));
}

TEST(ScanCommandTest, AnUnendedFloodIsDroppedOnceAndTheNextCommandStillCounts) {
    CommandParser parser;
    std::vector<CommandEvent> events;
    const std::string flood(1 << 20, '\x00');
    for (size_t i = 0; i < flood.size(); i += 4096) {
        for (CommandEvent& e : parser.Feed(std::string_view(flood).substr(i, 4096))) {
            events.push_back(std::move(e));
        }
    }
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<MalformedCommand>(events[0]).text.size(), CommandParser::kMaxCommandLength);
    events = parser.Feed("tail\r\nscanr 1 2 1\r\n");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<ScanCommand>(events[0]), (ScanCommand{1, 2, 1}));
}

TEST(ScanCommandTest, PrintableEscapesControlAndHighBytes) {
    EXPECT_EQ(Printable(std::string("a\0b\xff\\", 5)), "a\\x00b\\xFF\\x5C");
    EXPECT_EQ(Printable("scanr 1 2 3"), "scanr 1 2 3");
}

} // namespace
} // namespace analyzer_sim
