#include "chart/value_list.h"

#include "chart/series.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace chart {

TPlotValueList::TPlotValueList(TPlotSeries* owner, std::string name)
    : owner_(owner), name_(std::move(name)) {
    if (owner_ != nullptr) {
        owner_->RegisterValueList(this);
    }
}

TPlotValueList::~TPlotValueList() = default;

void TPlotValueList::FreeStorage::operator()(double* p) const {
    std::free(p);
}

// Grows the storage when it is full. Capacity stays a whole number of blocks but doubles,
// so that appending a long sweep copies each value only a bounded number of times.
void TPlotValueList::MakeRoom() {
    if (count_ < capacity_) {
        return;
    }
    constexpr int64_t kMaxCapacity =
        std::numeric_limits<int32_t>::max() / kBlockSize * static_cast<int64_t>(kBlockSize);
    if (capacity_ >= kMaxCapacity) {
        throw std::bad_alloc();
    }
    int64_t grown = std::max<int64_t>(kBlockSize, static_cast<int64_t>(capacity_) * 2);
    grown = std::min(grown, kMaxCapacity);
    void* block = std::realloc(storage_.get(), sizeof(double) * static_cast<size_t>(grown));
    if (block == nullptr) {
        throw std::bad_alloc(); // the old storage is still intact and owned
    }
    (void)storage_.release();
    storage_.reset(static_cast<double*>(block));
    // The grown entries are not cleared here: they read 0.0 through written_ (clearing
    // them would map every page of the block at once, used or not).
    capacity_ = static_cast<int32_t>(grown);
}

// Opens a gap at index for one more value (index in 0..count_).
void TPlotValueList::Shift(int32_t index) {
    MakeRoom();
    if (index < count_) {
        std::memmove(&Storage()[index + 1], &Storage()[index], sizeof(double) * (count_ - index));
    }
}

int32_t TPlotValueList::AddChartValue() {
    const double value = temp_value_;
    int32_t index = count_;
    if (order_ == loAscending && count_ > 0 && !(value >= Storage()[count_ - 1])) {
        int32_t i = count_ - 1;
        while (i >= 0 && Storage()[i] > value) {
            --i;
        }
        index = i + 1;
    } else if (order_ == loDescending && count_ > 0 && !(value <= Storage()[count_ - 1])) {
        int32_t i = count_ - 1;
        while (i >= 0 && Storage()[i] < value) {
            --i;
        }
        index = i + 1;
    }
    Shift(index);
    Storage()[index] = value;
    ++count_;
    written_ = std::max(written_, count_);
    StatsAfterStore(index, value);
    NoteChange(index == count_ - 1);
    return index;
}

int32_t TPlotValueList::AddChartValue(double value) {
    temp_value_ = value;
    return AddChartValue();
}

void TPlotValueList::ClearValues() {
    storage_.reset();
    capacity_ = 0;
    written_ = 0;
    count_ = 0;
    modified_ = true;
    NoteChange(false);
}

void TPlotValueList::InsertChartValue(int32_t index, double value) {
    if (index < 0 || index > count_) {
        return;
    }
    Shift(index);
    Storage()[index] = value;
    ++count_;
    written_ = std::max(written_, count_);
    StatsAfterStore(index, value);
    NoteChange(index == count_ - 1);
}

// A value appended to a list whose statistics are current is folded in (the same results as
// recomputing, in the same order), so a sweep's points do not rescan the list at every paint.
void TPlotValueList::StatsAfterStore(int32_t index, double value) {
    if (modified_ || index != count_ - 1) {
        modified_ = true;
        return;
    }
    if (count_ == 1) {
        min_value_ = max_value_ = total_ = value;
        total_abs_ = std::fabs(value);
        return;
    }
    if (value < min_value_) {
        min_value_ = value;
    } else if (value > max_value_) {
        max_value_ = value;
    }
    total_ += value;
    total_abs_ += std::fabs(value);
}

void TPlotValueList::Delete(int32_t index) {
    Delete(index, 1);
}

void TPlotValueList::Delete(int32_t start, int32_t quantity) {
    if (start < 0 || start >= count_ || quantity <= 0) {
        return;
    }
    quantity = std::min(quantity, count_ - start);
    const int32_t tail = count_ - start - quantity;
    if (tail > 0) {
        std::memmove(&Storage()[start], &Storage()[start + quantity], sizeof(double) * tail);
    }
    count_ -= quantity;
    modified_ = true;
    NoteChange(false);
}

int32_t TPlotValueList::Locate(double value) const {
    return Locate(value, 0, count_ - 1);
}

int32_t TPlotValueList::Locate(double value, int32_t first_index, int32_t last_index) const {
    first_index = std::max(first_index, 0);
    last_index = std::min(last_index, count_ - 1);
    for (int32_t i = first_index; i <= last_index; ++i) {
        if (Storage()[i] == value) {
            return i;
        }
    }
    return -1;
}

double TPlotValueList::GetValue(int32_t index) const {
    return index >= 0 && index < count_ ? Storage()[index] : 0.0;
}

void TPlotValueList::SetValue(int32_t index, double value) {
    if (index < 0 || index >= count_) {
        return;
    }
    Storage()[index] = value;
    modified_ = true;
    NoteChange(false);
    NotifyOwner(veModify, index);
}

void TPlotValueList::StoreValue(int32_t index, double value) {
    if (index < 0 || index >= count_) {
        return;
    }
    Storage()[index] = value;
    modified_ = true;
    NoteChange(false);
}

double TPlotValueList::Value(int32_t index) const {
    return index >= 0 && index < written_ ? Storage()[index] : 0.0;
}

void TPlotValueList::NoteChange(bool appended) {
    if (!appended) {
        ++edit_count_;
    }
}

void TPlotValueList::NotifyOwner(int event, int32_t index) {
    if (owner_ != nullptr) {
        owner_->ValueListChanged(static_cast<TValueEvent>(event), index);
    }
}

void TPlotValueList::RecalcStats() const {
    if (!modified_) {
        return;
    }
    if (count_ == 0) {
        min_value_ = max_value_ = total_ = total_abs_ = 0.0;
    } else {
        min_value_ = max_value_ = total_ = Storage()[0];
        total_abs_ = std::fabs(Storage()[0]);
        for (int32_t i = 1; i < count_; ++i) {
            const double v = Storage()[i];
            if (v < min_value_) {
                min_value_ = v;
            } else if (v > max_value_) {
                max_value_ = v;
            }
            total_ += v;
            total_abs_ += std::fabs(v);
        }
    }
    modified_ = false;
}

double TPlotValueList::MinValue() const {
    RecalcStats();
    return min_value_;
}

double TPlotValueList::MaxValue() const {
    RecalcStats();
    return max_value_;
}

double TPlotValueList::Total() const {
    RecalcStats();
    return total_;
}

double TPlotValueList::TotalABS() const {
    RecalcStats();
    return total_abs_;
}

} // namespace chart
