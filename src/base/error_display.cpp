#include "base/error_display.h"

#include "base/exceptions.h"
#include "base/message_loop.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>

namespace base {

namespace {

// Writes to standard error: what a program without a window (and a test without a
// recorder) shows.
class StderrErrorDisplay : public ErrorDisplay {
public:
    void Show(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
};

std::atomic<ErrorDisplay*> g_display{nullptr};

std::string& TitleStorage() {
    // The name the program was started with, until start-up sets it.
    static std::string title = ApplicationTitleFromPath(program_invocation_name);
    return title;
}

// Shows on the owner thread, posting there from any other; a display that fails itself
// falls back to standard error rather than ending the program.
void ShowOnOwner(std::string caption, std::string text) {
    MessageLoop& loop = CurrentMessageLoop();
    auto show = [caption = std::move(caption), text = std::move(text)] {
        try {
            CurrentErrorDisplay().Show(caption, text);
        } catch (...) {
            StderrErrorDisplay().Show(caption, text);
        }
    };
    if (loop.IsOwnerThread()) {
        show();
    } else {
        loop.Post(std::move(show));
    }
}

} // namespace

void SetErrorDisplay(ErrorDisplay* display) {
    g_display.store(display);
}

ErrorDisplay& CurrentErrorDisplay() {
    if (ErrorDisplay* display = g_display.load()) {
        return *display;
    }
    static StderrErrorDisplay fallback;
    return fallback;
}

ScopedErrorDisplay::ScopedErrorDisplay(ErrorDisplay& display)
    : previous_(g_display.exchange(&display)) {}

ScopedErrorDisplay::~ScopedErrorDisplay() {
    g_display.store(previous_);
}

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

std::string ApplicationTitleFromPath(std::string_view argv0) {
    const size_t slash = argv0.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    for (size_t i = 1; i < title.size(); ++i) {
        if (title[i] >= 'A' && title[i] <= 'Z') {
            title[i] = static_cast<char>(title[i] - 'A' + 'a');
        }
    }
    return title;
}

void SetApplicationTitle(std::string title) {
    TitleStorage() = std::move(title);
}

const std::string& ApplicationTitle() {
    return TitleStorage();
}

void ShowException(const std::exception& error) noexcept {
    try {
        std::string message;
        if (const auto* own = dynamic_cast<const Exception*>(&error)) {
            message = own->Message();
        } else if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
            message = "Out of memory";
        }
        ShowOnOwner(ApplicationTitle(), ErrorBoxText(message));
    } catch (...) {
        std::fputs("error display failed\n", stderr); // nothing left to show it with
    }
}

void ShowCurrentException() noexcept {
    const std::exception_ptr current = std::current_exception();
    if (!current) {
        return;
    }
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        try {
            ShowOnOwner(ApplicationTitle(), std::string());
        } catch (...) {
            std::fputs("error display failed\n", stderr);
        }
    }
}

void ShowThreadError(const std::string& message) noexcept {
    try {
        ShowOnOwner("Application Error", message);
    } catch (...) {
        std::fputs("error display failed\n", stderr);
    }
}

} // namespace base
