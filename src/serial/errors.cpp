#include "serial/errors.h"

#include "base/component.h"
#include "serial/message_table.h"

#include <algorithm>
#include <limits>
#include <new>

namespace serial {

namespace {

uint32_t Magnitude(int32_t code) {
    return code < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(code))
                    : static_cast<uint32_t>(code);
}

template <typename E> [[noreturn]] void Raise(int32_t code) {
    throw E(code);
}

bool IsFaxCode(int32_t code) {
    return (code >= -8005 && code <= -8001) || code == -8053 || (code >= -8070 && code <= -8060);
}

bool IsTapiCode(int32_t code) {
    return (code >= -13886 && code <= -13801 && code != -13804 && code != -13849) ||
           (code >= -13932 && code <= -13928) || code == -13935 || code == -13936 || code == -13942;
}

// Raises the class a code is mapped to; returns when the code has none.
void RaiseMapped(int32_t code) {
    switch (code) {
    case ecBadArgument:
        Raise<EBadArgument>(code);
    case ecGotQuitMsg:
        Raise<EGotQuitMsg>(code);
    case ecBufferTooBig:
        Raise<EBufferTooBig>(code);
    case ecPortNotAssigned:
        Raise<EPortNotAssigned>(code);
    case ecModemNotAssigned:
        Raise<EModemNotAssigned>(code);
    case ecPhonebookNotAssigned:
        Raise<EPhonebookNotAssigned>(code);
    case ecCannotUseWithWinSock:
        Raise<ECannotUseWithWinSock>(code);
    case ecInternal:
    case -7003:
    case -7006:
    case -7012:
        Raise<EInternal>(code);
    case ecBadId:
        Raise<EBadId>(code);
    case ecBaudRate:
        Raise<EBaudRate>(code);
    case ecByteSize:
        Raise<EByteSize>(code);
    case ecDefault:
        Raise<EDefault>(code);
    case ecHardware:
        Raise<EHardware>(code);
    case ecMemory:
        Raise<EMemory>(code);
    case ecCommNotOpen:
        Raise<ECommNotOpen>(code);
    case ecAlreadyOpen:
        Raise<EAlreadyOpen>(code);
    case ecNoHandles:
        Raise<ENoHandles>(code);
    case ecNoTimers:
        Raise<ENoTimers>(code);
    case ecNoPortSelected:
        Raise<ENoPortSelected>(code);
    case ecNotOpenedByTapi:
        Raise<ENotOpenedByTapi>(code);
    case ecNullApi:
        Raise<ENullApi>(code);
    case ecRegisterHandlerFailed:
        Raise<ERegisterHandlerFailed>(code);
    case ecPutBlockFail:
        Raise<EPutBlockFail>(code);
    case ecGetBlockFail:
        Raise<EGetBlockFail>(code);
    case ecOutputBufferTooSmall:
        Raise<EOutputBufferTooSmall>(code);
    case ecBufferIsEmpty:
        Raise<EBufferIsEmpty>(code);
    case ecTracingNotEnabled:
        Raise<ETracingNotEnabled>(code);
    case ecLoggingNotEnabled:
        Raise<ELoggingNotEnabled>(code);
    case ecBaseAddressNotSet:
        Raise<EBaseAddressNotSet>(code);
    case -4001:
        Raise<EModemNotStarted>(code);
    case -4002:
        Raise<EModemBusy>(code);
    case -4003:
        Raise<EModemNotDialing>(code);
    case -4004:
        Raise<ENotDialing>(code);
    case -4005:
        Raise<EAlreadyDialing>(code);
    case -4006:
        Raise<EModemNotResponding>(code);
    case -4007:
        Raise<EModemRejectedCommand>(code);
    case -4008:
        Raise<EModemStatusMismatch>(code);
    case ecNoMoreTriggers:
        Raise<ENoMoreTriggers>(code);
    case ecTriggerTooLong:
        Raise<ETriggerTooLong>(code);
    case ecBadTriggerHandle:
        Raise<EBadTriggerHandle>(code);
    case -6006:
    case -6008:
    case -6009:
        Raise<EProtocol>(code);
    case -7001:
        Raise<EKeyTooLong>(code);
    case -7002:
        Raise<EDataTooLarge>(code);
    case -7004:
        Raise<EIniWrite>(code);
    case -7005:
        Raise<EIniRead>(code);
    case -7007:
        Raise<ERecordExists>(code);
    case -7008:
        Raise<ERecordNotFound>(code);
    case -7010:
        Raise<EDatabaseFull>(code);
    case -7011:
        Raise<EDatabaseEmpty>(code);
    case -7013:
        Raise<EBadFieldList>(code);
    case -7014:
        Raise<EBadFieldForIndex>(code);
    case -13980:
        Raise<ERasLoadFail>(code);
    default:
        break;
    }
    if (IsFaxCode(code)) {
        Raise<EFax>(code);
    }
    if (IsTapiCode(code)) {
        Raise<ETapi>(code);
    }
}

// Rounds half of lo + hi to the nearest integer, a half going to the even neighbour.
std::size_t Middle(std::size_t lo, std::size_t hi) {
    const std::size_t sum = lo + hi;
    const std::size_t down = sum / 2;
    if (sum % 2 == 0 || down % 2 == 0) {
        return down;
    }
    return down + 1;
}

std::string CutToMaximum(std::string text) {
    if (text.size() > kMaxMessageLength) {
        text.resize(kMaxMessageLength);
    }
    return text;
}

} // namespace

EOutOfMemory::EOutOfMemory() : message_(MessageNumberToString(ecOutOfMemory)) {}

ESioException::ESioException(int32_t code, bool /*pass_thru*/)
    : Exception(SioLoadStr(code)), ErrorCode(code) {}

ESioException::ESioException(UnknownTag, std::string message)
    : Exception(std::move(message)), ErrorCode(0) {}

EAccessDenied::EAccessDenied(std::string message) : EOpenComm(UnknownTag{}, std::move(message)) {
    ErrorCode = ecAccessDenied;
}

ESioException ESioException::CreateUnknown(std::string message, int32_t /*dummy*/) {
    return ESioException(UnknownTag{}, std::move(message));
}

int32_t ESioException::MapCodeToStringID(int32_t code) {
    // The smallest code has no positive counterpart; it names no message either way.
    if (code == std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::max();
    }
    return code < 0 ? -code : code;
}

int32_t CheckException(const base::TComponent* component, int32_t code) {
    if (code >= 0 || (component != nullptr && component->Loading())) {
        return code;
    }
    if (code >= ecHardwareFailure && code <= ecFileNotFound) {
        if (code == ecOutOfMemory) {
            throw EOutOfMemory();
        }
        throw base::EInOutError(SioLoadStr(code), -code);
    }
    // An errno with no counterpart among the numbers above: still a system error, shown
    // with the system's own text.
    if (CarriedErrno(code) != 0) {
        throw base::EInOutError(SioLoadStr(code), -code);
    }
    RaiseMapped(code);
    throw ESioException::CreateUnknown("Serial I/O exception");
}

int32_t XlatException(const std::exception& e) {
    if (const auto* sio = dynamic_cast<const ESioException*>(&e)) {
        return sio->ErrorCode;
    }
    if (const auto* io = dynamic_cast<const base::EInOutError*>(&e)) {
        return -io->ErrorCode;
    }
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
        return ecOutOfMemory;
    }
    return ecUnknownException;
}

int32_t XlatException(const std::exception_ptr& e) {
    if (!e) {
        return ecOK;
    }
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& caught) {
        return XlatException(caught);
    } catch (...) {
        return ecUnknownException;
    }
}

std::string MessageNumberToString(int32_t code) {
    const std::span<const TSioMessageEntry> table = SioMessageNumberLookup();
    const uint32_t wanted = Magnitude(code);
    std::size_t lo = 0;
    std::size_t hi = table.size();
    // hi is one past the upper bound, so that the bounds never go below zero.
    while (lo < hi) {
        const std::size_t mid = Middle(lo, hi - 1);
        const uint32_t found = Magnitude(table[mid].MessageNumber);
        if (found == wanted) {
            return CutToMaximum(table[mid].MessageString);
        }
        if (found < wanted) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return {};
}

std::string CleanSystemMessage(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32) {
            c = ' ';
        }
    }
    std::string cleaned;
    cleaned.reserve(text.size());
    for (const char c : text) {
        if (c == ' ' && !cleaned.empty() && cleaned.back() == ' ') {
            continue;
        }
        cleaned.push_back(c);
    }
    return cleaned;
}

std::string SioLoadStr(int32_t code, const SystemMessageSource& system) {
    std::string text = MessageNumberToString(code);
    if (!text.empty() || !system) {
        return text;
    }
    std::string system_text = CutToMaximum(system(Magnitude(code)));
    if (system_text.empty()) {
        return {};
    }
    return CleanSystemMessage(std::move(system_text));
}

std::string SioLoadStr(int32_t code) {
    return SioLoadStr(code, PlatformSystemMessage);
}

char* SioLoadStrZ(std::span<char> dest, int32_t code) {
    if (dest.empty()) {
        return nullptr;
    }
    const std::string text = SioLoadStr(code);
    const std::size_t n = std::min(text.size(), dest.size() - 1);
    std::copy_n(text.begin(), n, dest.begin());
    dest[n] = '\0';
    return dest.data();
}

} // namespace serial
