// The answer to one scan command, without a line: the points it covers and where the
// faults go.
#include "analyzer_sim/answer.h"
#include "analyzer_sim/reading.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace analyzer_sim {
namespace {

std::vector<int64_t> Points(ScanCommand command, size_t limit = 1000) {
    SweepPlan plan(command);
    std::vector<int64_t> points;
    while (points.size() < limit) {
        const std::optional<int64_t> hz = plan.Next();
        if (!hz) {
            break;
        }
        points.push_back(*hz);
    }
    return points;
}

TEST(SweepPlanTest, PointsTable) {
    struct Case {
        ScanCommand command;
        std::vector<int64_t> points;
    };
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const Case cases[] = {
        {{14000000, 14002000, 1000}, {14000000, 14001000, 14002000}}, // end included
        {{14000000, 14002500, 1000}, {14000000, 14001000, 14002000}},
        {{14000000, 14000000, 1000}, {14000000}},
        {{1000000, 610000, 10000}, {1000000}}, // start above end: one point
        {{kMax - 1, kMax, 5}, {kMax - 1}},     // the next point would not fit
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Points(c.command), c.points) << c.command.start_hz;
    }
    EXPECT_EQ(Points({13675000, 14685000, 10000}).size(), 102u);
}

std::vector<AnswerPiece> Pieces(Answer& answer) {
    std::vector<AnswerPiece> pieces;
    while (std::optional<AnswerPiece> piece = answer.Next()) {
        pieces.push_back(std::move(*piece));
    }
    return pieces;
}

TEST(AnswerTest, StartThenOneModelLinePerPoint) {
    const Faults none;
    FiredFaults fired;
    Answer answer({14000000, 14002000, 1000}, none, fired);
    const std::vector<AnswerPiece> pieces = Pieces(answer);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].bytes, "Start\r\n");
    const AntennaModel model = ModelForSweep(14000000, 14002000);
    for (size_t i = 1; i < pieces.size(); ++i) {
        const double hz = 14000000.0 + 1000.0 * static_cast<double>(i - 1);
        EXPECT_EQ(pieces[i].bytes, MeasurementLine(ReadingFor(model.Impedance(hz))));
        EXPECT_EQ(pieces[i].pause_after.count(), 0);
        EXPECT_FALSE(pieces[i].hangup_after);
    }
}

TEST(AnswerTest, FaultsLandOnTheirLinesOnceUnlessEverySweep) {
    Faults faults;
    faults.bad_line = 2;
    faults.noise_bytes = 300;
    faults.noise_after = 3;
    faults.pause_after = 1;
    faults.pause = std::chrono::milliseconds(2500);
    faults.hangup_after = 4;
    for (const bool every : {false, true}) {
        SCOPED_TRACE(every);
        faults.every_sweep = every;
        FiredFaults fired;
        for (int sweep = 0; sweep < 2; ++sweep) {
            SCOPED_TRACE(sweep);
            const bool faulty = sweep == 0 || every;
            Answer answer({14000000, 14004000, 1000}, faults, fired);
            const std::vector<AnswerPiece> p = Pieces(answer);
            ASSERT_EQ(p.size(), 6u);
            EXPECT_EQ(p[1].pause_after.count(), faulty ? 2500 : 0);
            EXPECT_EQ(p[2].bytes.find("x,") != std::string::npos, faulty);
            // The noise line follows line 3 and carries neither a field separator nor a
            // line end of its own.
            const std::string& third = p[3].bytes;
            const size_t first_end = third.find("\r\n");
            ASSERT_NE(first_end, std::string::npos);
            EXPECT_EQ(third.size(), first_end + 2 + (faulty ? 302u : 0u));
            if (faulty) {
                const std::string noise = third.substr(first_end + 2, 300);
                EXPECT_EQ(noise.find_first_of("\r\n,"), std::string::npos);
                EXPECT_NE(noise.find('\0'), std::string::npos);
                EXPECT_TRUE(std::any_of(noise.begin(), noise.end(), [](char c) {
                    return static_cast<unsigned char>(c) > 127;
                }));
            }
            EXPECT_EQ(p[4].hangup_after, faulty);
            EXPECT_FALSE(p[5].hangup_after);
        }
    }
}

TEST(AnswerTest, NoiseBeforeStartByDefault) {
    Faults faults;
    faults.noise_bytes = 10;
    FiredFaults fired;
    Answer answer({14000000, 14000000, 1000}, faults, fired);
    const std::optional<AnswerPiece> first = answer.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bytes.size(), 12u + 7u);
    EXPECT_EQ(first->bytes.substr(10), "\r\nStart\r\n");
    Answer second({14000000, 14000000, 1000}, faults, fired);
    EXPECT_EQ(second.Next()->bytes, "Start\r\n");
}

} // namespace
} // namespace analyzer_sim
