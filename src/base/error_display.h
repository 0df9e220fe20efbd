// Showing a failure to the user. The program installs a display that opens a modal error
// box; tests install a recorder. ShowException may be called on any thread: off the owner
// thread it is posted to the message loop and shown there.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace base {

class ErrorDisplay {
public:
    virtual ~ErrorDisplay() = default;
    // Shows text in a modal box with the error icon and the caption (owner thread only).
    virtual void Show(const std::string& caption, const std::string& text) = 0;
};

// The display in force; nullptr restores the default, which writes to standard error.
void SetErrorDisplay(ErrorDisplay* display);
ErrorDisplay& CurrentErrorDisplay();

// Installs a display for the lifetime of the object and restores the previous one (tests).
class ScopedErrorDisplay {
public:
    explicit ScopedErrorDisplay(ErrorDisplay& display);
    ~ScopedErrorDisplay();
    ScopedErrorDisplay(const ScopedErrorDisplay&) = delete;
    ScopedErrorDisplay& operator=(const ScopedErrorDisplay&) = delete;

private:
    ErrorDisplay* previous_;
};

// The text shown for a message: "." appended when the message is not empty and its last
// character's code is above that of ".".
[[nodiscard]] std::string ErrorBoxText(std::string_view message);

// The application title: the executable's file name without its directory, cut at the
// first ".", every character after the first in lower case (ASCII letters; other bytes
// are kept). Until SetApplicationTitle it is built from the name the process was started
// with.
[[nodiscard]] std::string ApplicationTitleFromPath(std::string_view argv0);
void SetApplicationTitle(std::string title);
[[nodiscard]] const std::string& ApplicationTitle();

// Shows an exception that left a handler, captioned with the application title, its text
// by ErrorBoxText. std::bad_alloc shows "Out of memory"; other exceptions not derived from
// base::Exception show an empty text. Never throws (it runs inside noexcept RunHandler).
void ShowException(const std::exception& error) noexcept;
// As above for whatever is in flight (call in a catch block).
void ShowCurrentException() noexcept;

// Shows an error met on a worker thread, captioned "Application Error"; the text is shown
// as given (the caller names the exception class and its message).
void ShowThreadError(const std::string& message) noexcept;

// Runs fn and shows any exception that leaves it: the caller of every handler.
template <typename Fn> void RunHandler(Fn&& fn) noexcept {
    try {
        fn();
    } catch (...) {
        ShowCurrentException();
    }
}

} // namespace base
