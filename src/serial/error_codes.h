// Result codes of the serial layer. The dispatcher's operations return 0 or a positive value
// for success and one of the negative codes below for a failure; the com port and the packet
// components turn a negative code into an exception (errors.h). The text of every code is
// looked up by its absolute value, so a positive code of the same number names the same
// thing.
//
// Codes -2 to -162 are system error numbers in the numbering the message texts assume
// (2 file not found, 5 access denied, 8 out of memory, 87 invalid parameter, ...). The
// POSIX device layer translates errno into these numbers with CodeFromErrno
// (system_messages.h); an errno without such a number travels in a tagged code.
#pragma once

#include <cstdint>

namespace serial {

inline constexpr int32_t ecOK = 0;

// File and device errors (system error numbers).
inline constexpr int32_t ecFileNotFound = -2;
inline constexpr int32_t ecPathNotFound = -3;
inline constexpr int32_t ecTooManyFiles = -4;
inline constexpr int32_t ecFileAccessDenied = -5;
inline constexpr int32_t ecInvalidHandle = -6;
inline constexpr int32_t ecOutOfMemory = -8;
inline constexpr int32_t ecInvalidDrive = -15;
inline constexpr int32_t ecNoMoreFiles = -18;
inline constexpr int32_t ecInvalidParameter = -87;
inline constexpr int32_t ecDiskRead = -100;
inline constexpr int32_t ecDiskFull = -101;
inline constexpr int32_t ecNotAssigned = -102;
inline constexpr int32_t ecNotOpen = -103;
inline constexpr int32_t ecNotOpenInput = -104;
inline constexpr int32_t ecNotOpenOutput = -105;
inline constexpr int32_t ecWriteProtected = -150;
inline constexpr int32_t ecUnknownUnit = -151;
inline constexpr int32_t ecDriveNotReady = -152;
inline constexpr int32_t ecUnknownCommand = -153;
inline constexpr int32_t ecCrcError = -154;
inline constexpr int32_t ecBadStructLen = -155;
inline constexpr int32_t ecSeekError = -156;
inline constexpr int32_t ecUnknownMedia = -157;
inline constexpr int32_t ecSectorNotFound = -158;
inline constexpr int32_t ecOutOfPaper = -159;
inline constexpr int32_t ecDeviceWrite = -160;
inline constexpr int32_t ecDeviceRead = -161;
inline constexpr int32_t ecHardwareFailure = -162;

// General errors.
inline constexpr int32_t ecBadHandle = -1001;
inline constexpr int32_t ecBadArgument = -1002;
inline constexpr int32_t ecGotQuitMsg = -1003;
inline constexpr int32_t ecBufferTooBig = -1004;
inline constexpr int32_t ecPortNotAssigned = -1005;
inline constexpr int32_t ecInternal = -1006;
inline constexpr int32_t ecModemNotAssigned = -1007;
inline constexpr int32_t ecPhonebookNotAssigned = -1008;
inline constexpr int32_t ecCannotUseWithWinSock = -1009;

// Opening the port.
inline constexpr int32_t ecBadId = -2001;
inline constexpr int32_t ecBaudRate = -2002;
inline constexpr int32_t ecByteSize = -2003;
inline constexpr int32_t ecDefault = -2004;
inline constexpr int32_t ecHardware = -2005;
inline constexpr int32_t ecMemory = -2006;
inline constexpr int32_t ecCommNotOpen = -2007;
inline constexpr int32_t ecAlreadyOpen = -2008;
inline constexpr int32_t ecNoHandles = -2009;
inline constexpr int32_t ecNoTimers = -2010;
inline constexpr int32_t ecNoPortSelected = -2011;
inline constexpr int32_t ecNotOpenedByTapi = -2012;
// Access to the device was denied (permissions). No table entry uses it: the device layer
// gives the text, which names the device (TSioBaseDispatcher::LastErrorText).
inline constexpr int32_t ecAccessDenied = -2020;

// Serial input and output.
inline constexpr int32_t ecNullApi = -3001;
inline constexpr int32_t ecNotSupported = -3002;
inline constexpr int32_t ecRegisterHandlerFailed = -3003;
inline constexpr int32_t ecPutBlockFail = -3004;
inline constexpr int32_t ecGetBlockFail = -3005;
inline constexpr int32_t ecOutputBufferTooSmall = -3006;
inline constexpr int32_t ecBufferIsEmpty = -3007;
inline constexpr int32_t ecTracingNotEnabled = -3008;
inline constexpr int32_t ecLoggingNotEnabled = -3009;
inline constexpr int32_t ecBaseAddressNotSet = -3010;

// Triggers.
inline constexpr int32_t ecNoMoreTriggers = -5001;
inline constexpr int32_t ecTriggerTooLong = -5002;
inline constexpr int32_t ecBadTriggerHandle = -5003;

// Packet configuration (raised by the packet matcher itself).
inline constexpr int32_t ecStartStringEmpty = -5501;
inline constexpr int32_t ecPacketTooSmall = -5502;
inline constexpr int32_t ecNoEndCharCount = -5503;
inline constexpr int32_t ecEmptyEndString = -5504;
inline constexpr int32_t ecZeroSizePacket = -5505;
inline constexpr int32_t ecPacketTooLong = -5506;

// No memory for a received block or a status block (a worker thread's own code).
inline constexpr int32_t ecNoMem = -13868;

// Any exception that is neither serial, input/output nor out of memory (XlatException).
inline constexpr int32_t ecUnknownException = -9999;

// Message numbers of the dispatch log's names: type names start at dlTypeNameBase + type,
// sub type names at dlSubTypeNameBase + sub type; the two column heading lines of a dumped
// log; the modem status line names (CTS changed .. DCD).
inline constexpr int32_t dlTypeNameBase = 15001;
inline constexpr int32_t dlSubTypeNameBase = 15100;
inline constexpr int32_t dlHeaderLine1 = 15501;
inline constexpr int32_t dlHeaderLine2 = 15502;
inline constexpr int32_t msNameBase = 15601;

} // namespace serial
