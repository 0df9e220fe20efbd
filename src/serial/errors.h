// Serial errors: the exception classes the serial layer raises, the conversion of a negative
// result code into an exception (CheckException) and back (XlatException), and the text of a
// code.
//
// Thread safety: everything here is stateless apart from the constant message table, so any
// thread may call it at any time.
//
// A code's text is the message table's entry for the code's absolute value; when the table
// has none (or an empty one) it is the operating system's text for the system error number
// of that value, cleaned of control characters and double spaces; otherwise it is empty.
#pragma once

#include "base/exceptions.h"
#include "serial/error_codes.h"
#include "serial/system_messages.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <span>
#include <string>

namespace base {
class TComponent;
}

namespace serial {

// The root of the serial exceptions: a message and the code it was made from.
class ESioException : public base::Exception {
public:
    // The message is the text of the code; pass_thru has no effect.
    explicit ESioException(int32_t code, bool pass_thru = false);

    // An exception with a given message and ErrorCode 0.
    [[nodiscard]] static ESioException CreateUnknown(std::string message, int32_t dummy = 0);

    // The message number of a code: texts are looked up without the sign.
    [[nodiscard]] static int32_t MapCodeToStringID(int32_t code);

    int32_t ErrorCode;

protected:
    struct UnknownTag {};
    ESioException(UnknownTag, std::string message);
};

// Declares an exception class that adds nothing to its base.
#define TDS_SIO_EXCEPTION(Name, Base)                                                              \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
    }

// Groups.
TDS_SIO_EXCEPTION(EGeneral, ESioException);
TDS_SIO_EXCEPTION(EOpenComm, ESioException);
TDS_SIO_EXCEPTION(ESerialIO, ESioException);
TDS_SIO_EXCEPTION(ETrigger, ESioException);
TDS_SIO_EXCEPTION(EPacket, ESioException);
TDS_SIO_EXCEPTION(EModem, ESioException);
TDS_SIO_EXCEPTION(EProtocol, ESioException);
TDS_SIO_EXCEPTION(EINI, ESioException);
TDS_SIO_EXCEPTION(EFax, ESioException);
TDS_SIO_EXCEPTION(ETapi, ESioException);
TDS_SIO_EXCEPTION(ERas, ESioException);
TDS_SIO_EXCEPTION(EAdTerminal, ESioException);
TDS_SIO_EXCEPTION(EXML, ESioException);
TDS_SIO_EXCEPTION(EStateMachine, ESioException);

// General.
TDS_SIO_EXCEPTION(EBadArgument, EGeneral);
TDS_SIO_EXCEPTION(EGotQuitMsg, EGeneral);
TDS_SIO_EXCEPTION(EBufferTooBig, EGeneral);
TDS_SIO_EXCEPTION(EPortNotAssigned, EGeneral);
TDS_SIO_EXCEPTION(EInternal, EGeneral);
TDS_SIO_EXCEPTION(EModemNotAssigned, EGeneral);
TDS_SIO_EXCEPTION(EPhonebookNotAssigned, EGeneral);
TDS_SIO_EXCEPTION(ECannotUseWithWinSock, EGeneral);

// Opening the port.
TDS_SIO_EXCEPTION(EBadId, EOpenComm);
TDS_SIO_EXCEPTION(EBaudRate, EOpenComm);
TDS_SIO_EXCEPTION(EByteSize, EOpenComm);
TDS_SIO_EXCEPTION(EDefault, EOpenComm);
TDS_SIO_EXCEPTION(EHardware, EOpenComm);
TDS_SIO_EXCEPTION(EMemory, EOpenComm);
TDS_SIO_EXCEPTION(ECommNotOpen, EOpenComm);
TDS_SIO_EXCEPTION(EAlreadyOpen, EOpenComm);
TDS_SIO_EXCEPTION(ENoHandles, EOpenComm);
TDS_SIO_EXCEPTION(ENoTimers, EOpenComm);
TDS_SIO_EXCEPTION(ENoPortSelected, EOpenComm);
TDS_SIO_EXCEPTION(ENotOpenedByTapi, EOpenComm);

// Serial input and output.
TDS_SIO_EXCEPTION(ENullApi, ESerialIO);
TDS_SIO_EXCEPTION(ERegisterHandlerFailed, ESerialIO);
TDS_SIO_EXCEPTION(EPutBlockFail, ESerialIO);
TDS_SIO_EXCEPTION(EGetBlockFail, ESerialIO);
TDS_SIO_EXCEPTION(EOutputBufferTooSmall, ESerialIO);
TDS_SIO_EXCEPTION(EBufferIsEmpty, ESerialIO);
TDS_SIO_EXCEPTION(ETracingNotEnabled, ESerialIO);
TDS_SIO_EXCEPTION(ELoggingNotEnabled, ESerialIO);
TDS_SIO_EXCEPTION(EBaseAddressNotSet, ESerialIO);

// Triggers.
TDS_SIO_EXCEPTION(ENoMoreTriggers, ETrigger);
TDS_SIO_EXCEPTION(ETriggerTooLong, ETrigger);
TDS_SIO_EXCEPTION(EBadTriggerHandle, ETrigger);

// Packets.
TDS_SIO_EXCEPTION(EInvalidProperty, EPacket);
TDS_SIO_EXCEPTION(EStringSizeError, EPacket);

// Modem.
TDS_SIO_EXCEPTION(EModemNotStarted, EModem);
TDS_SIO_EXCEPTION(EModemBusy, EModem);
TDS_SIO_EXCEPTION(EModemNotDialing, EModem);
TDS_SIO_EXCEPTION(EModemNotResponding, EModem);
TDS_SIO_EXCEPTION(EModemRejectedCommand, EModem);
TDS_SIO_EXCEPTION(EModemStatusMismatch, EModem);
TDS_SIO_EXCEPTION(EAlreadyDialing, EModem);
TDS_SIO_EXCEPTION(ENotDialing, EModem);

// File transfer protocols. Their codes raise the group itself.
TDS_SIO_EXCEPTION(ETimeout, EProtocol);
TDS_SIO_EXCEPTION(ETooManyErrors, EProtocol);
TDS_SIO_EXCEPTION(ESequenceError, EProtocol);

// INI database.
TDS_SIO_EXCEPTION(EKeyTooLong, EINI);
TDS_SIO_EXCEPTION(EDataTooLarge, EINI);
TDS_SIO_EXCEPTION(EIniWrite, EINI);
TDS_SIO_EXCEPTION(EIniRead, EINI);
TDS_SIO_EXCEPTION(ERecordExists, EINI);
TDS_SIO_EXCEPTION(ERecordNotFound, EINI);
TDS_SIO_EXCEPTION(EDatabaseFull, EINI);
TDS_SIO_EXCEPTION(EDatabaseEmpty, EINI);
TDS_SIO_EXCEPTION(EBadFieldList, EINI);
TDS_SIO_EXCEPTION(EBadFieldForIndex, EINI);

// Remote access.
TDS_SIO_EXCEPTION(ERasLoadFail, ERas);

#undef TDS_SIO_EXCEPTION

// Access to the device was denied (ecAccessDenied). The message is the device layer's own
// text, which names the device and what the user can do about it.
class EAccessDenied : public EOpenComm {
public:
    explicit EAccessDenied(std::string message);
};

// Exceptions of the pager and phone components: outside the serial tree, with their own code.
class ESioPagerException : public base::Exception {
public:
    ESioPagerException(std::string message, int32_t error_code)
        : Exception(std::move(message)), ErrorCode(error_code) {}
    int32_t ErrorCode;
};

class ESioGSMPhoneException : public base::Exception {
public:
    ESioGSMPhoneException(std::string message, int32_t error_code)
        : Exception(std::move(message)), ErrorCode(error_code) {}
    int32_t ErrorCode;
};

// Out of memory, as CheckException raises it for -8: a std::bad_alloc whose text is the
// code's own, so the error box reads as the other serial errors do.
class EOutOfMemory : public std::bad_alloc {
public:
    EOutOfMemory();
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Returns code when it is 0 or positive, or when component is loading its layout (a null
// component never is). Otherwise raises: base::EInOutError (ErrorCode = -code) for -162..-2
// and for codes that carry an errno, EOutOfMemory (a std::bad_alloc) for -8, the mapped serial
// class for the codes that have one, and ESioException "Serial I/O exception" (ErrorCode 0) for the
// rest.
int32_t CheckException(const base::TComponent* component, int32_t code);

// The code for an exception: the ErrorCode of a serial exception, minus the ErrorCode of an
// input/output error, -8 for out of memory, -9999 for anything else.
[[nodiscard]] int32_t XlatException(const std::exception& e);
// The same for a caught exception of any type (a non-standard one gives -9999).
[[nodiscard]] int32_t XlatException(const std::exception_ptr& e);

// The text of a code (see the top of this file); system texts come from the given source.
[[nodiscard]] std::string SioLoadStr(int32_t code);
[[nodiscard]] std::string SioLoadStr(int32_t code, const SystemMessageSource& system);
[[nodiscard]] inline std::string ErrorMsg(int32_t code) {
    return SioLoadStr(code);
}

// The message table's text for a code, or empty.
[[nodiscard]] std::string MessageNumberToString(int32_t code);

// Copies the text of a code into dest, cut to fit and always zero-terminated, and returns
// dest's start; an empty dest gets nothing and gives nullptr.
char* SioLoadStrZ(std::span<char> dest, int32_t code);

// Longest text the lookup gives; longer table or system texts are cut.
inline constexpr std::size_t kMaxMessageLength = 255;

} // namespace serial
