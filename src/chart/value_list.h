// TPlotValueList: one list of doubles of a series (its X or Y values).
//
// Contract:
// - User-interface thread only; no locks.
// - Storage is a block of Capacity() entries, always a whole number of 1000-entry blocks,
//   grown geometrically so that appending is amortised constant time. Entries at and
//   beyond Count() are not part of the list: freshly grown entries read 0.0, entries
//   vacated by Delete keep their old contents. ClearValues releases the storage.
// - Every index is checked: a read outside the list (GetValue, First, Last) gives 0.0, a
//   read outside the storage (Value) gives 0.0, a write outside the list is ignored,
//   an insert or delete at an impossible index does nothing. Nothing ever touches memory
//   outside the storage, whatever the caller passes.
// - The owner (a series, may be null) is told of changes through NotifyValue; nothing here
//   repaints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace chart {

class TPlotSeries;

enum TPlotListOrder : uint8_t { loNone, loAscending, loDescending };

class TPlotValueList {
public:
    static constexpr int32_t kBlockSize = 1000;

    // Creates an empty list and registers it with its owner (X first, then Y).
    TPlotValueList(TPlotSeries* owner, std::string name);
    virtual ~TPlotValueList();
    TPlotValueList(const TPlotValueList&) = delete;
    TPlotValueList& operator=(const TPlotValueList&) = delete;

    TPlotSeries* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TPlotListOrder Order() const { return order_; }
    void SetOrder(TPlotListOrder order) { order_ = order; }
    bool DateTime() const { return date_time_; }
    void SetDateTime(bool value) { date_time_ = value; }
    const std::string& ValueSource() const { return value_source_; }
    void SetValueSource(std::string source) { value_source_ = std::move(source); }

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }

    // Staging slot: the value that the next ordered add stores.
    double TempValue() const { return temp_value_; }
    void SetTempValue(double value) { temp_value_ = value; }

    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }
    // Counts the changes other than a value added at the end, so drawing caches can tell
    // new points (taken in as they come) from edits (which need a rebuild).
    uint64_t EditCount() const { return edit_count_; }

    // Ordered add of TempValue (see Order); returns the index the value received.
    virtual int32_t AddChartValue();
    // Stores value in TempValue, then performs the ordered add.
    int32_t AddChartValue(double value);
    // Count = 0, storage released, Modified set.
    virtual void ClearValues();
    // Puts value at index (0 <= index <= Count), shifting later values up.
    virtual void InsertChartValue(int32_t index, double value);
    // Removes one value (0 <= index < Count), shifting later values down.
    virtual void Delete(int32_t index);
    // Removes quantity values from start; quantity is clamped to Count - start.
    void Delete(int32_t start, int32_t quantity);

    // Index of the first value exactly equal to value, or -1 (linear, whatever the order).
    [[nodiscard]] int32_t Locate(double value) const;
    // As above within first..last, clamped to the list; -1 when last < first.
    [[nodiscard]] int32_t Locate(double value, int32_t first_index, int32_t last_index) const;

    // The items: 0.0 outside 0 <= index < Count.
    [[nodiscard]] double GetValue(int32_t index) const;
    double operator[](int32_t index) const { return GetValue(index); }
    // Writes one item (ignored outside the list), sets Modified and tells the owner
    // (NotifyValue(veModify)); no repaint, no reordering.
    void SetValue(int32_t index, double value);
    // Writes one item (ignored outside the list) and sets Modified, telling no one: the
    // series' own SetXValue/SetYValue, which repaint instead.
    void StoreValue(int32_t index, double value);
    // Raw storage read: 0 <= index < Capacity (entries beyond Count included), else 0.0.
    [[nodiscard]] double Value(int32_t index) const;

    [[nodiscard]] double First() const { return GetValue(0); }
    [[nodiscard]] double Last() const { return GetValue(count_ - 1); }

    // Statistics, recomputed on read after a change; 0 for an empty list.
    [[nodiscard]] double MinValue() const;
    [[nodiscard]] double MaxValue() const;
    [[nodiscard]] double Total() const;
    [[nodiscard]] double TotalABS() const;

    // The values in use, for scans that want no per-item check.
    const double* Data() const { return storage_.get(); }

private:
    double* Storage() { return storage_.get(); }
    const double* Storage() const { return storage_.get(); }
    void MakeRoom();
    void Shift(int32_t index);
    void RecalcStats() const;
    void StatsAfterStore(int32_t index, double value);
    void NotifyOwner(int event, int32_t index);
    void NoteChange(bool appended);

    TPlotSeries* owner_;
    std::string name_;
    TPlotListOrder order_ = loNone;
    bool date_time_ = false;
    std::string value_source_;
    struct FreeStorage {
        void operator()(double* p) const;
    };
    // capacity_ entries from malloc/realloc: large blocks then grow by remapping pages
    // instead of copying them.
    std::unique_ptr<double, FreeStorage> storage_;
    int32_t capacity_ = 0;
    int32_t count_ = 0;
    int32_t written_ = 0; // entries below this were ever part of the list; the rest read 0.0
    double temp_value_ = 0.0;
    mutable bool modified_ = true; // the statistics are out of date
    uint64_t edit_count_ = 0;
    mutable double min_value_ = 0.0;
    mutable double max_value_ = 0.0;
    mutable double total_ = 0.0;
    mutable double total_abs_ = 0.0;
};

} // namespace chart
