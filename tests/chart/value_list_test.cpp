#include "chart/value_list.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace chart {
namespace {

std::vector<double> Items(const TPlotValueList& list) {
    std::vector<double> out;
    for (int32_t i = 0; i < list.Count(); ++i) {
        out.push_back(list[i]);
    }
    return out;
}

struct OrderedAddCase {
    TPlotListOrder order;
    std::vector<double> adds;
    std::vector<int32_t> indexes; // index each add received
    std::vector<double> result;
};

TEST(ValueList, OrderedAddPlacesValuesAfterEqualOnes) {
    const OrderedAddCase cases[] = {
        {loNone, {3, 1, 2}, {0, 1, 2}, {3, 1, 2}},
        {loAscending, {1, 2, 2}, {0, 1, 2}, {1, 2, 2}},
        // Smaller value: before the first greater one, after all equal ones.
        {loAscending, {1, 2, 3, 2}, {0, 1, 2, 2}, {1, 2, 2, 3}},
        {loAscending, {5, 6, 0}, {0, 1, 0}, {0, 5, 6}},
        {loDescending, {3, 2, 2, 3, 9}, {0, 1, 2, 1, 0}, {9, 3, 3, 2, 2}},
    };
    for (const auto& c : cases) {
        TPlotValueList list(nullptr, "X");
        list.SetOrder(c.order);
        std::vector<int32_t> got;
        for (double v : c.adds) {
            got.push_back(list.AddChartValue(v));
        }
        EXPECT_EQ(got, c.indexes) << "order " << int(c.order);
        EXPECT_EQ(Items(list), c.result) << "order " << int(c.order);
    }
}

TEST(ValueList, LocateIsExactAndReturnsTheFirstMatch) {
    TPlotValueList list(nullptr, "Y");
    EXPECT_EQ(list.Locate(0.0), -1);
    for (double v : {1.5, 1.2, 1.2, 1.2, 1.4}) {
        list.AddChartValue(v);
    }
    EXPECT_EQ(list.Locate(1.2), 1);
    EXPECT_EQ(list.Locate(std::nextafter(1.2, 2.0)), -1);
    EXPECT_EQ(list.Locate(1.2, 2, 4), 2);
    EXPECT_EQ(list.Locate(1.2, 4, 2), -1);
    // A range reaching outside the list is cut to the list.
    EXPECT_EQ(list.Locate(1.4, -5, 1000), 4);
    EXPECT_EQ(list.Locate(1.5, -5, -1), -1);
}

TEST(ValueList, StorageGrowsInWholeBlocksGeometricallyAndKeepsValues) {
    TPlotValueList list(nullptr, "X");
    list.SetOrder(loAscending);
    EXPECT_EQ(list.Capacity(), 0);
    for (int i = 0; i < 1000; ++i) {
        list.AddChartValue(i);
    }
    EXPECT_EQ(list.Capacity(), 1000);
    list.AddChartValue(1000); // the 1001st value
    EXPECT_EQ(list.Capacity(), 2000);
    for (int i = 0; i <= 1000; ++i) {
        ASSERT_EQ(list[i], i);
    }
    EXPECT_EQ(list.Value(1001), 0.0); // freshly grown storage reads 0.0
    EXPECT_EQ(list.Value(1999), 0.0);

    std::vector<int32_t> capacities;
    for (int i = 1001; i < 40000; ++i) {
        list.AddChartValue(i);
        if (capacities.empty() || capacities.back() != list.Capacity()) {
            capacities.push_back(list.Capacity());
        }
    }
    // Whole blocks, and few reallocations: each one at least doubles.
    for (size_t k = 0; k < capacities.size(); ++k) {
        EXPECT_EQ(capacities[k] % TPlotValueList::kBlockSize, 0);
        if (k > 0) {
            EXPECT_GE(capacities[k], 2 * capacities[k - 1]);
        }
    }
    EXPECT_LE(capacities.size(), 6u);

    list.ClearValues();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.Value(0), 0.0);
    EXPECT_EQ(list.AddChartValue(7), 0);
}

TEST(ValueList, DeleteShiftsDownAndVacatedEntriesKeepTheirContents) {
    TPlotValueList list(nullptr, "Y");
    for (double v : {10, 20, 30, 40, 50}) {
        list.AddChartValue(v);
    }
    list.Delete(1);
    EXPECT_EQ(Items(list), (std::vector<double>{10, 30, 40, 50}));
    EXPECT_EQ(list.Value(4), 50.0); // vacated, not part of the list, old contents kept
    EXPECT_EQ(list[4], 0.0);        // but outside the list as an item

    list.Delete(2, 100); // quantity clamped to what remains
    EXPECT_EQ(Items(list), (std::vector<double>{10, 30}));
    list.Delete(0, 0);
    list.Delete(-1, 1);
    list.Delete(2, 1);
    EXPECT_EQ(Items(list), (std::vector<double>{10, 30}));
}

TEST(ValueList, IndexesOutsideTheListNeverTouchStorage) {
    TPlotValueList list(nullptr, "Y");
    EXPECT_EQ(list.First(), 0.0); // empty list
    EXPECT_EQ(list.Last(), 0.0);
    for (double v : {1, 2, 3}) {
        list.AddChartValue(v);
    }
    for (int32_t bad : {-1, 3, 1000, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(list.GetValue(bad), 0.0) << bad;
        list.SetValue(bad, 99);
        list.InsertChartValue(bad == 3 ? 4 : bad, 99);
        EXPECT_EQ(list.Value(bad == 3 ? 1000 : bad), 0.0) << bad;
    }
    EXPECT_EQ(Items(list), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(list.First(), 1.0);
    EXPECT_EQ(list.Last(), 3.0);

    list.InsertChartValue(3, 4); // at Count: append
    list.InsertChartValue(0, 0);
    EXPECT_EQ(Items(list), (std::vector<double>{0, 1, 2, 3, 4}));
}

TEST(ValueList, StatisticsFollowChangesThroughTheCache) {
    TPlotValueList list(nullptr, "Y");
    EXPECT_EQ(list.MinValue(), 0.0);
    EXPECT_EQ(list.MaxValue(), 0.0);
    EXPECT_EQ(list.Total(), 0.0);
    EXPECT_EQ(list.TotalABS(), 0.0);
    for (double v : {-2.0, 5.0, 1.0}) {
        list.AddChartValue(v);
    }
    EXPECT_EQ(list.MinValue(), -2.0);
    EXPECT_FALSE(list.Modified());
    EXPECT_EQ(list.MaxValue(), 5.0);
    EXPECT_EQ(list.Total(), 4.0);
    EXPECT_EQ(list.TotalABS(), 8.0);

    list.SetValue(1, -7.0);
    EXPECT_TRUE(list.Modified());
    EXPECT_EQ(list.MinValue(), -7.0);
    EXPECT_EQ(list.MaxValue(), 1.0);
    list.Delete(1);
    EXPECT_EQ(list.MinValue(), -2.0);
    list.ClearValues();
    EXPECT_EQ(list.MaxValue(), 0.0);
}

// Appends to current statistics are folded in; the result is what a full recount gives, bit
// for bit, also with NaN among the values.
TEST(ValueList, AppendsKeepCurrentStatisticsExact) {
    TPlotValueList folded(nullptr, "Y");
    TPlotValueList recounted(nullptr, "Y");
    EXPECT_EQ(folded.Total(), 0.0); // current from the start
    const double values[] = {0.1, -3.5,   1e300, std::numeric_limits<double>::quiet_NaN(),
                             0.2, -1e300, 7.25};
    for (const double v : values) {
        folded.AddChartValue(v);
        EXPECT_FALSE(folded.Modified()) << "an append keeps the statistics current";
        recounted.AddChartValue(v);
        recounted.SetModified(true);
        EXPECT_EQ(folded.MinValue(), recounted.MinValue());
        EXPECT_EQ(folded.MaxValue(), recounted.MaxValue());
        EXPECT_EQ(std::isnan(folded.Total()), std::isnan(recounted.Total()));
        if (!std::isnan(folded.Total())) {
            EXPECT_EQ(folded.Total(), recounted.Total());
            EXPECT_EQ(folded.TotalABS(), recounted.TotalABS());
        }
    }
    folded.InsertChartValue(0, -99); // not at the end: recounted
    EXPECT_TRUE(folded.Modified());
    EXPECT_EQ(folded.MinValue(), -1e300);
}

} // namespace
} // namespace chart
