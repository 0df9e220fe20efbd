// The simulator's command line.
#include "analyzer_sim/options.h"

#include <gtest/gtest.h>

namespace analyzer_sim {
namespace {

TEST(OptionsTest, DefaultsAndEveryOption) {
    ParsedOptions p = ParseOptions({}, "/tmp/ports");
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.options->port, 6);
    EXPECT_EQ(p.options->ports_dir, "/tmp/ports");
    EXPECT_FALSE(p.options->fast);
    EXPECT_EQ(p.options->faults.bad_line, 0);
    EXPECT_EQ(p.options->faults.hangup_after, 0);

    p = ParseOptions({"--port",      "9",
                      "--ports-dir", "/x",
                      "--fast",      "--bad-line",
                      "5",           "--noise",
                      "64",          "--noise-after",
                      "7",           "--pause-after",
                      "3",           "--pause-ms",
                      "130000",      "--hangup-after",
                      "40",          "--return-ms",
                      "50",          "--every-sweep"},
                     "");
    ASSERT_TRUE(p.options) << p.error;
    const Options& o = *p.options;
    EXPECT_EQ(o.port, 9);
    EXPECT_EQ(o.ports_dir, "/x");
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.faults.bad_line, 5);
    EXPECT_EQ(o.faults.noise_bytes, 64u);
    EXPECT_EQ(o.faults.noise_after, 7);
    EXPECT_EQ(o.faults.pause_after, 3);
    EXPECT_EQ(o.faults.pause.count(), 130000);
    EXPECT_EQ(o.faults.hangup_after, 40);
    EXPECT_EQ(o.faults.return_after.count(), 50);
    EXPECT_TRUE(o.faults.every_sweep);
}

TEST(OptionsTest, ErrorsTable) {
    const std::vector<std::vector<std::string>> bad = {
        {"--port"},
        {"--port", "0"},
        {"--port", "x"},
        {"--bad-line", "0"},
        {"--bad-line", "-1"},
        {"--noise", "0"},
        {"--pause-ms", "1e3"},
        {"--hangup-after", ""},
        {"--frobnicate", "1"},
        {"stray"},
        {"--fast", "--ports-dir"},
    };
    for (const auto& args : bad) {
        const ParsedOptions p = ParseOptions(args, "/tmp/ports");
        EXPECT_FALSE(p.options) << args[0];
        EXPECT_FALSE(p.error.empty()) << args[0];
    }
    const ParsedOptions no_dir = ParseOptions({"--fast"}, "");
    EXPECT_FALSE(no_dir.options);
    EXPECT_NE(no_dir.error.find("--ports-dir"), std::string::npos);
    const ParsedOptions help = ParseOptions({"--help"}, "");
    EXPECT_TRUE(help.help);
    EXPECT_NE(Usage().find("--hangup-after"), std::string::npos);
}

} // namespace
} // namespace analyzer_sim
