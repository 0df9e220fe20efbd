// Exception classes shared by every layer. Every failure the program shows to the user is
// an Exception carrying its message; the layers derive their own classes from these.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace base {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// A text that is not a number of the expected form.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An input/output failure of the run-time library, with its system error number.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int32_t error_code)
        : Exception(std::move(message)), ErrorCode(error_code) {}
    int32_t ErrorCode;
};

// A stored blob (component stream) that cannot be read.
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// An operation that the object's current state or the argument does not allow.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// An index or count outside a list.
class EListError : public Exception {
public:
    using Exception::Exception;
};

} // namespace base
