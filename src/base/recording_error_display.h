// An error display for tests: installs itself for its lifetime and records every box
// instead of showing it. Safe to read from any thread.
#pragma once

#include "base/error_display.h"

#include <mutex>
#include <string>
#include <vector>

namespace base {

class RecordingErrorDisplay : public ErrorDisplay {
public:
    struct Box {
        std::string caption;
        std::string text;
        bool operator==(const Box&) const = default;
    };

    void Show(const std::string& caption, const std::string& text) override {
        std::lock_guard lock(mutex_);
        boxes_.push_back({caption, text});
    }

    [[nodiscard]] std::vector<Box> Boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    [[nodiscard]] size_t Count() const {
        std::lock_guard lock(mutex_);
        return boxes_.size();
    }
    // The texts shown so far, in order.
    [[nodiscard]] std::vector<std::string> Texts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const Box& box : boxes_) {
            texts.push_back(box.text);
        }
        return texts;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        boxes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_; // guarded by mutex_
    ScopedErrorDisplay installed_{*this};
};

} // namespace base
