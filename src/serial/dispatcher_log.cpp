// Tracing (a ring of sent and received bytes) and dispatch logging (a queue of timed events)
// of a dispatcher, and their text dumps.
#include "base/tick_clock.h"
#include "serial/dispatcher.h"
#include "serial/error_codes.h"
#include "serial/errors.h"
#include "serial/system_messages.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace serial {

namespace {

constexpr size_t kLineWidth = 78;
// Each log entry counts this much on top of its bytes against the log's size limit, so a
// limit also bounds a log of entries without bytes.
constexpr int32_t kLogEntryOverhead = 16;

bool Printable(uint8_t c) {
    return c >= 32 && c < 127;
}

std::string Hex2(uint8_t c) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", c);
    return text;
}

// Appends bytes as text, wrapping lines at kLineWidth: all as hex numbers (all_hex), or
// printable bytes as characters and the others as [hex] (in_hex) or [decimal].
void AppendBytes(std::string& out, size_t& column, const uint8_t* bytes, size_t count, bool in_hex,
                 bool all_hex) {
    for (size_t i = 0; i < count; ++i) {
        std::string token;
        const uint8_t c = bytes[i];
        if (all_hex)
            token = Hex2(c) + " ";
        else if (Printable(c))
            token = std::string(1, static_cast<char>(c));
        else if (in_hex)
            token = "[" + Hex2(c) + "]";
        else
            token = "[" + std::to_string(c) + "]";
        if (column + token.size() > kLineWidth) {
            out += "\n";
            column = 0;
        }
        out += token;
        column += token.size();
    }
}

std::string KindHeading(char kind) {
    switch (kind) {
    case 'T':
        return "Transmit: ";
    case 'R':
        return "Receive: ";
    default:
        return std::string("Special-") + kind + ": ";
    }
}

// The creation mode the process would give a new file (0666 less the umask), read without
// changing the umask (umask() would race with other threads making files).
mode_t NewFileMode() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[128];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return 0666 & ~mask;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies the old file's bytes into fd when name is a regular file of its own (a link is
// not followed: its target is none of ours). False on a read or write failure.
bool CopyOldContents(const std::string& name, int fd) {
    const int old = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (old < 0)
        return errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
    struct stat st {};
    bool ok = ::fstat(old, &st) == 0;
    // Only a file of this user's with no other name is taken as the old contents: a hard
    // link someone placed there names a file that is not ours to copy.
    if (ok && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid()) {
        char buffer[65536];
        while (true) {
            const ssize_t n = ::read(old, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0)
                break;
            if (!WriteAll(fd, buffer, static_cast<size_t>(n))) {
                ok = false;
                break;
            }
        }
    }
    const int saved = errno;
    ::close(old);
    errno = saved;
    return ok;
}

// Writes text to name (after its old contents when append) through a new file in the same
// folder that is renamed into place: a link someone placed at name is replaced, never
// written through, and a reader never sees half a file. A failure leaves name as it was,
// removes the temporary file and returns a code; it stops nothing else.
int32_t WriteFile(const std::string& name, bool append, const std::string& text) {
    if (name.empty())
        return CodeFromErrno(ENOENT);
    std::string temp = name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return CodeFromErrno(errno);
    int error = 0;
    auto fail = [&](int err) {
        error = err != 0 ? err : EIO;
        return false;
    };
    // The mode a plain open would have given a new file; an existing file keeps its own.
    mode_t mode = NewFileMode();
    struct stat existing {};
    if (::lstat(name.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        mode = existing.st_mode & 0777;
    const bool written = (::fchmod(fd, mode) == 0 || fail(errno)) &&
                         (!append || CopyOldContents(name, fd) || fail(errno)) &&
                         (WriteAll(fd, text.data(), text.size()) || fail(errno));
    const bool closed = ::close(fd) == 0 || fail(errno);
    if (written && closed && ::rename(temp.c_str(), name.c_str()) == 0)
        return 0;
    if (error == 0)
        error = errno;
    ::unlink(temp.c_str());
    return error == ENOSPC || error == 0 ? ecDiskFull : CodeFromErrno(error);
}

} // namespace

// ---- Tracing ----

int32_t TSioBaseDispatcher::InitTracing(uint32_t NumEntries) {
    if (NumEntries > MaxTraceEntries)
        return ecBadArgument;
    std::lock_guard lock(trace_lock_);
    if (TraceQueue.empty()) {
        TraceQueue.assign(static_cast<size_t>(NumEntries) * 2, 0);
        TraceMax = NumEntries;
    }
    TraceIndex = 0;
    TraceWrapped = false;
    TracingOn = true;
    return 0;
}

void TSioBaseDispatcher::StartTracing() {
    std::lock_guard lock(trace_lock_);
    TracingOn = !TraceQueue.empty();
}

void TSioBaseDispatcher::StopTracing() {
    std::lock_guard lock(trace_lock_);
    TracingOn = false;
}

void TSioBaseDispatcher::ClearTracing() {
    std::lock_guard lock(trace_lock_);
    TraceIndex = 0;
    TraceWrapped = false;
}

void TSioBaseDispatcher::AbortTracing() {
    std::lock_guard lock(trace_lock_);
    TracingOn = false;
    std::vector<uint8_t>().swap(TraceQueue);
    TraceMax = 0;
    TraceIndex = 0;
    TraceWrapped = false;
}

void TSioBaseDispatcher::AddTraceEntry(char Kind, uint8_t C) {
    AddTraceBlock(Kind, &C, 1);
}

void TSioBaseDispatcher::AddTraceBlock(char Kind, const uint8_t* Block, uint32_t Len) {
    std::lock_guard lock(trace_lock_);
    if (!TracingOn || TraceMax == 0)
        return;
    for (uint32_t i = 0; i < Len; ++i) {
        TraceQueue[TraceIndex * 2] = static_cast<uint8_t>(Kind);
        TraceQueue[TraceIndex * 2 + 1] = Block[i];
        if (++TraceIndex >= TraceMax) {
            TraceIndex = 0;
            TraceWrapped = true;
        }
    }
}

int32_t TSioBaseDispatcher::DumpTrace(const std::string& FileName, bool InHex, bool AllHex) {
    return WriteTrace(FileName, false, InHex, AllHex);
}

int32_t TSioBaseDispatcher::AppendTrace(const std::string& FileName, bool InHex, bool AllHex) {
    return WriteTrace(FileName, true, InHex, AllHex);
}

int32_t TSioBaseDispatcher::WriteTrace(const std::string& FileName, bool Append, bool InHex,
                                       bool AllHex) {
    std::string text;
    {
        std::lock_guard lock(trace_lock_);
        if (TraceQueue.empty())
            return ecTracingNotEnabled;
        const uint32_t count = TraceWrapped ? TraceMax : TraceIndex;
        const uint32_t first = TraceWrapped ? TraceIndex : 0;
        char kind = 0;
        size_t column = 0;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t at = (first + i) % TraceMax;
            const char k = static_cast<char>(TraceQueue[at * 2]);
            if (i == 0 || k != kind) {
                if (i != 0)
                    text += "\n\n";
                text += KindHeading(k) + "\n";
                kind = k;
                column = 0;
            }
            AppendBytes(text, column, &TraceQueue[at * 2 + 1], 1, InHex, AllHex);
        }
        if (count > 0)
            text += "\n";
        TraceIndex = 0;
        TraceWrapped = false;
    }
    return WriteFile(FileName, Append, text);
}

// ---- Dispatch logging ----

void TSioBaseDispatcher::InitDispatchLogging(uint32_t QueueSize) {
    DLoggingQueue.Clear();
    DLoggingMax = QueueSize;
    DLoggingOn = true;
}

void TSioBaseDispatcher::StartDispatchLogging() {
    DLoggingOn = true;
}

void TSioBaseDispatcher::StopDispatchLogging() {
    DLoggingOn = false;
}

void TSioBaseDispatcher::ClearDispatchLogging() {
    DLoggingQueue.Clear();
}

void TSioBaseDispatcher::AbortDispatchLogging() {
    DLoggingOn = false;
    DLoggingQueue.Clear();
}

void TSioBaseDispatcher::AddDispatchEntry(TDispatchType Type, TDispatchSubType SubType,
                                          uint32_t Data, const uint8_t* Buffer,
                                          uint32_t BufferLen) {
    if (!DLoggingOn)
        return;
    std::vector<uint8_t> bytes;
    if (Buffer != nullptr && BufferLen > 0)
        bytes.assign(Buffer, Buffer + BufferLen);
    const auto time = static_cast<uint32_t>(base::TickMilliseconds() - TimeBase);
    auto entry = std::make_unique<TLogBuffer>(Type, SubType, time, Data, std::move(bytes),
                                              kLogEntryOverhead);
    DLoggingQueue.Push(std::move(entry));
    if (DLoggingMax != 0) {
        while (DLoggingQueue.FBytesQueued() > static_cast<int64_t>(DLoggingMax) &&
               DLoggingQueue.Count() > 1)
            (void)DLoggingQueue.Pop();
    }
}

void TSioBaseDispatcher::AddStringToLog(const std::string& S) {
    AddDispatchEntry(dtUser, dstNone, 0, reinterpret_cast<const uint8_t*>(S.data()),
                     static_cast<uint32_t>(S.size()));
}

void TSioBaseDispatcher::LogEvent(TDispatchType Type, TDispatchSubType SubType, uint32_t Data,
                                  const uint8_t* Buffer, uint32_t BufferLen) {
    if (DLoggingOn)
        AddDispatchEntry(Type, SubType, Data, Buffer, BufferLen);
}

int32_t TSioBaseDispatcher::DumpDispatchLog(const std::string& FileName, bool InHex, bool AllHex) {
    return WriteDispatchLog(FileName, false, InHex, AllHex);
}

int32_t TSioBaseDispatcher::AppendDispatchLog(const std::string& FileName, bool InHex,
                                              bool AllHex) {
    return WriteDispatchLog(FileName, true, InHex, AllHex);
}

int32_t TSioBaseDispatcher::WriteDispatchLog(const std::string& FileName, bool Append, bool InHex,
                                             bool AllHex) {
    std::string text = "Tarnel Data Scan dispatch log\n";
    text += std::string("Compiler : ") + "GCC " + __VERSION__ + "\n";
    utsname system{};
    std::string os = "Linux";
    if (::uname(&system) == 0)
        os = std::string(system.sysname) + " " + system.release;
    text += "Operating System : " + os + "\n";
    text += "Device: " + DeviceName + "\n";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%d/%m/%y, %H:%M:%S", &local);
    text += std::string("Date/time: ") + date + "\n";
    text += MessageNumberToString(dlHeaderLine1) + "\n";
    text += MessageNumberToString(dlHeaderLine2) + "\n";
    // Taken out in one step: an entry logged while the text is composed stays for the next
    // dump instead of being cleared unseen.
    for (const auto& block : DLoggingQueue.TakeAll()) {
        const auto* entry = dynamic_cast<const TLogBuffer*>(block.get());
        if (entry == nullptr)
            continue;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", entry->FTime / 1000.0);
        const std::string type = MessageNumberToString(dlTypeNameBase + entry->FType);
        const std::string sub = entry->FSubType == dstNone
                                    ? std::string()
                                    : MessageNumberToString(dlSubTypeNameBase + entry->FSubType);
        char head[96];
        std::snprintf(head, sizeof head, "%8s  %-8s  %-12s  %08x  ", seconds, type.c_str(),
                      sub.c_str(), static_cast<unsigned>(entry->FData));
        text += head;
        size_t column = std::string(head).size();
        AppendBytes(text, column, entry->FBuffer.data(), entry->FBuffer.size(), InHex, AllHex);
        text += "\n";
    }
    return WriteFile(FileName, Append, text);
}

} // namespace serial
