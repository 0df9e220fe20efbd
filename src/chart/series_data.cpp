#include "chart/series_data.h"

#include "base/exceptions.h"
#include "chart/ansi_text.h"
#include "chart/series.h"

#include <bit>
#include <cstring>
#include <string>
#include <vector>

namespace chart {

namespace {

constexpr uint8_t kHasX = 1;
constexpr uint8_t kHasColors = 2;
constexpr uint8_t kHasLabels = 4;
constexpr uint8_t kHasMarks = 8;
constexpr size_t kMarkPositionSize = 34;

[[noreturn]] void Malformed() {
    throw base::EReadError("Stream read error");
}

// Reads little-endian fields, refusing to run past the end of the blob.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    size_t Remaining() const { return data_.size() - pos_; }

    std::span<const uint8_t> Take(size_t n) {
        if (n > Remaining()) {
            Malformed();
        }
        auto bytes = data_.subspan(pos_, n);
        pos_ += n;
        return bytes;
    }
    uint8_t Byte() { return Take(1)[0]; }
    uint32_t U32() {
        auto b = Take(4);
        return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    double Double() {
        auto b = Take(8);
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) {
            bits = bits << 8 | b[i];
        }
        return std::bit_cast<double>(bits);
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

struct StoredPoint {
    double x = 0;
    double y = 0;
    base::TColor color = base::clAutoColor;
    std::string label;
};

std::vector<StoredPoint> ParsePoints(std::span<const uint8_t> data, size_t extra_lists) {
    Reader in(data);
    const uint8_t flags = in.Byte();
    const int32_t count = in.I32();
    if (count < 0) {
        Malformed();
    }
    // The smallest a point can be: check the count before reserving anything for it.
    size_t min_point = 8 + 8 * extra_lists;
    if (flags & kHasX) {
        min_point += 8;
    }
    if (flags & kHasColors) {
        min_point += 4;
    }
    if (flags & kHasLabels) {
        min_point += 1;
    }
    if (flags & kHasMarks) {
        min_point += kMarkPositionSize;
    }
    if (static_cast<uint64_t>(count) * min_point > in.Remaining()) {
        Malformed();
    }
    std::vector<StoredPoint> points(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        StoredPoint& p = points[i];
        p.x = (flags & kHasX) ? in.Double() : static_cast<double>(i);
        p.y = in.Double();
        if (flags & kHasColors) {
            p.color = in.I32();
        }
        if (flags & kHasLabels) {
            size_t length = in.Byte();
            if (length == 255) {
                const int32_t long_length = in.I32();
                if (long_length < 0) {
                    Malformed();
                }
                length = static_cast<size_t>(long_length);
            }
            auto text = in.Take(length);
            p.label = Windows1252ToUtf8(
                std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        }
        for (size_t k = 0; k < extra_lists; ++k) {
            (void)in.Double();
        }
        if (flags & kHasMarks) {
            (void)in.Take(kMarkPositionSize);
        }
    }
    if (in.Remaining() != 0) {
        Malformed(); // the count does not describe the blob
    }
    return points;
}

} // namespace

void ReadSeriesData(TPlotSeries& series, std::span<const uint8_t> data) {
    const size_t lists = series.ValuesLists().size();
    const size_t extra_lists = lists > 2 ? lists - 2 : 0;
    std::vector<StoredPoint> points;
    try {
        points = ParsePoints(data, extra_lists);
    } catch (const base::EReadError&) {
        series.Clear();
        throw;
    }
    series.Clear();
    series.BeginUpdate();
    for (const StoredPoint& p : points) {
        series.AddXY(p.x, p.y, p.label, p.color);
    }
    series.EndUpdate();
    series.SetManualData(true);
}

} // namespace chart
