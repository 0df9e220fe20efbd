// Texts of the serial layer's codes, of the dispatch log's names and of the modem lines.
#include "serial/message_table.h"

#include <array>

namespace serial {

namespace {

constexpr TSioMessageEntry kMessages[] = {
    {0, "OK"},
    // File and device errors.
    {-2, "File not found"},
    {-3, "Path not found"},
    {-4, "Too many open files"},
    {-5, "File access denied"},
    {-6, "Invalid file handle"},
    {-8, "Insufficient memory"},
    {-15, "Invalid drive"},
    {-18, "No more files"},
    {-100, "Attempt to read beyond end of file"},
    {-101, "Disk is full"},
    {-102, "File/device not assigned"},
    {-103, "File/device not open"},
    {-104, "File/device not open for input"},
    {-105, "File/device not open for output"},
    {-150, "Disk is write-protected"},
    {-151, "Unknown disk unit"},
    {-152, "Drive is not ready"},
    {-153, "Unknown command"},
    {-154, "Data error"},
    {-155, "Bad request structure length"},
    {-156, "Seek error"},
    {-157, "Unknown media type"},
    {-158, "Disk sector not found"},
    {-159, "Printer is out of paper"},
    {-160, "Device write error"},
    {-161, "Device read error"},
    {-162, "General failure"},
    // General errors.
    {-1001, "Bad handle passed to com function"},
    {-1002, "Bad argument passed to function"},
    {-1003, "Got quit message"},
    {-1004, "Terminal buffer greater than 65521"},
    {-1005, "ComPort component not assigned"},
    {-1006, "Internal error creating window class"},
    {-1007, "Modem component not assigned"},
    {-1008, "Phonebook component not assigned"},
    {-1009, "Component not compatible with WinSock"},
    // Opening the port.
    {-2001, "ie_BadId - Specified comport doesn't exist"},
    {-2002, "ie_Baudrate - unsupported baud rate"},
    {-2003, "ie_Bytesize - invalid byte size"},
    {-2004, "ie_Default - error in default parameters"},
    {-2005, "ie_Hardware - Specified comport in use"},
    {-2006, "ie_Memory - unable to allocate queues"},
    {-2007, "ie_NOpen - device not open"},
    {-2008, "ie_Open - device already open"},
    {-2009, "No more handles, can't open port"},
    {-2010, "No timers available"},
    {-2011, "The ComNumber property of the TSioComPort has not been set"},
    {-2012, "Comport was not opened by Tapi"},
    // Serial input and output.
    {-3001, "No device layer specified"},
    {-3002, "Function not supported by driver"},
    {-3003, "EnableCommNotification failed"},
    {-3004, "Failed to put entire block"},
    {-3005, "Failed to get entire block"},
    {-3006, "Output buffer too small for block"},
    {-3007, "Buffer is empty"},
    {-3008, "Tracing not enabled"},
    {-3009, "Logging not enabled"},
    {-3010, "Base address not set"},
    // Modem.
    {-4001, "Modem not started"},
    {-4002, "Modem is busy"},
    {-4003, "Modem not dialing"},
    {-4004, "Not dialing"},
    {-4005, "Already dialing"},
    {-4006, "Modem not responding"},
    {-4007, "Modem rejected command"},
    {-4008, "Modem status mismatch"},
    // Triggers.
    {-5001, "No more trigger slots"},
    {-5002, "Data trigger too long"},
    {-5003, "Bad trigger handle"},
    // Packets.
    {-5501, "Start string is empty"},
    {-5502, "Packet size cannot be smaller than start string"},
    {-5503, "CharCount packets must have an end-condition"},
    {-5504, "End string is empty"},
    {-5505, "Packet size cannot be zero"},
    {-5506, "Packet too long"},
    // File transfer protocols.
    {-6006, "Protocol time-out"},
    {-6008, "Too many errors"},
    {-6009, "Sequence error"},
    // INI database.
    {-7001, "Key string too long"},
    {-7002, "Data too large"},
    {-7003, "Internal error in INI database"},
    {-7004, "INI file write error"},
    {-7005, "INI file read error"},
    {-7006, "Internal error in INI database"},
    {-7007, "Record already exists"},
    {-7008, "Record not found"},
    {-7010, "Database is full"},
    {-7011, "Database is empty"},
    {-7012, "Internal error in INI database"},
    {-7013, "Bad field list"},
    {-7014, "Bad field for index"},
    // Telephony and remote access.
    {-13868, "Not enough memory"},
    {-13980, "Unable to load the remote access library"},
    // Dispatch log entry types.
    {15001, "No event"},
    {15002, "Dispatch"},
    {15003, "Trigger"},
    {15004, "Error"},
    {15005, "Thread"},
    {15006, "TrigAllc"},
    {15007, "TrigDisp"},
    {15008, "TrgHdAlc"},
    {15009, "TrgHdDsp"},
    {15010, "TrDatChg"},
    {15011, "Telnet"},
    {15012, "Fax"},
    {15013, "XModem"},
    {15014, "YModem"},
    {15015, "ZModem"},
    {15016, "Kermit"},
    {15017, "Ascii"},
    {15018, "BPlus"},
    {15019, "Packet"},
    {15020, "User"},
    {15021, "Script"},
    // Dispatch log sub types of the serial road.
    {15100, ""},
    {15101, "ReadCom"},
    {15102, "WriteCom"},
    {15103, "Line status"},
    {15104, "Modem status"},
    {15105, "Avail"},
    {15106, "Timer"},
    {15107, "Data"},
    {15108, "Status"},
    {15109, "Start"},
    {15110, "Exit"},
    {15111, "Sleep"},
    {15112, "Wake"},
    {15113, "Data"},
    {15114, "Timer"},
    {15115, "Status"},
    {15116, "Avail"},
    {15117, "Window"},
    {15118, "Procedure"},
    {15119, "Method"},
    // Dispatch log sub types of the packet matcher and the I/O threads.
    {15342, "Enable"},
    {15343, "Disable"},
    {15344, "StringPacket"},
    {15345, "SizePacket"},
    {15346, "PcktTimeout"},
    {15347, "StartStr"},
    {15348, "EndStr"},
    {15349, "Idle"},
    {15350, "Waiting"},
    {15351, "Collecting"},
    {15352, "Status Queued"},
    {15353, "Data Queued"},
    {15354, "Data Written"},
    // Column headings of a dumped dispatch log.
    {15501, "Time      Type      SubType       Data      OtherData"},
    {15502, "--------  --------  ------------  --------  ---------"},
    // Modem status line names.
    {15601, "DCTS "},
    {15602, "DDSR "},
    {15603, "TERI "},
    {15604, "DDCD "},
    {15605, "CTS "},
    {15606, "DSR "},
    {15607, "RI "},
    {15608, "DCD "},
};

constexpr int64_t Magnitude(int32_t number) {
    return number < 0 ? -int64_t{number} : number;
}

// The lookup halves the table, so it must be sorted and free of repeats.
constexpr bool SortedByMagnitude() {
    for (std::size_t i = 1; i < std::size(kMessages); ++i) {
        if (Magnitude(kMessages[i - 1].MessageNumber) >= Magnitude(kMessages[i].MessageNumber)) {
            return false;
        }
    }
    return true;
}
static_assert(SortedByMagnitude(), "message table must be sorted by absolute number");

} // namespace

std::span<const TSioMessageEntry> SioMessageNumberLookup() {
    return kMessages;
}

} // namespace serial
