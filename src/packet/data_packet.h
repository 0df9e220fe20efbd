// The data packet matcher: watches the bytes received on one com port and cuts packets out
// of the stream (a start string or any byte; an end string, a size, or both), handing each
// packet to its owner through OnPacket / OnStringPacket and reporting a packet that does not
// complete in time through OnTimeout.
//
// Contract:
// - Properties, ComPort, arming and destruction run on the owner thread (the UI thread in
//   the program). Received bytes reach the matcher on the port's dispatch thread through
//   its manager (packet_manager.h); the matcher's fields are guarded by the manager's lock,
//   which is never held while the events run.
// - With SyncEvents the events run on the owner thread (base::MessageLoop) while the
//   dispatch thread waits; otherwise on the thread that matched the packet. An exception
//   leaving an event is shown (base::ShowException) and matching goes on.
// - Setting Enabled inside an event (OnPacket, OnStringPacket, OnTimeout) arms only when the
//   event has ended. A time-out leaves the matcher disarmed until the owner enables it.
// - Arming a wrongly configured matcher on an open port raises EInvalidProperty (-5501 to
//   -5505); a failed request leaves Enabled as it was. Arming at the end of an event on the
//   dispatch thread cannot reach the owner: its failure is shown and the others go on.
// - A packet that grows past kMaxPacketBytes without completing is dropped with its bytes,
//   as a time-out with FlushOnTimeout drops them, and matching starts afresh.
// - Destroying the matcher (or changing ComPort) while a packet of it is being delivered is
//   safe: a delivery not yet started on the owner thread is cancelled, and the dispatch
//   thread no longer touches the matcher once it has been detached. With SyncEvents false the
//   events run on the dispatch thread: the owner then closes the port before destroying it.
#pragma once

#include "base/component.h"
#include "base/event.h"
#include "packet/packet_types.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace serial {
class TSioCustomComPort;
}

namespace packet {

class TSioDataPacket;
class TSioDataPacketManager;

// Packet as a pointer into the manager's buffer (valid while the event runs) and its size.
using TPacketNotifyEvent =
    std::function<void(TSioDataPacket& Sender, const uint8_t* Data, int32_t Size)>;
// Packet as a copy of its bytes.
using TStringPacketNotifyEvent =
    std::function<void(TSioDataPacket& Sender, const std::string& Data)>;
using TPacketTimeoutEvent = std::function<void(TSioDataPacket& Sender)>;

// Far beyond any real line: a packet longer than this is noise, not data.
inline constexpr int32_t kMaxPacketBytes = 64 * 1024;

// The longest a blocking wait for a packet lasts when the matcher has no time-out.
inline constexpr std::chrono::seconds kLongestPacketWait{120};

class TSioDataPacket : public base::TComponent {
public:
    explicit TSioDataPacket(base::TComponent* AOwner = nullptr);
    ~TSioDataPacket() override;

    [[nodiscard]] static std::string Version();

    // ---- Published properties (defaults of a new matcher in the comments) ----
    [[nodiscard]] bool Enabled() const; // false
    void SetEnabled(bool Value);
    [[nodiscard]] bool AutoEnable() const { return FAutoEnable; } // true
    void SetAutoEnable(bool Value);
    [[nodiscard]] TPacketStartCond StartCond() const { return FStartCond; } // scString
    void SetStartCond(TPacketStartCond Value);
    [[nodiscard]] TPacketEndSet EndCond() const { return FEndCond; } // empty
    void SetEndCond(TPacketEndSet Value);                            // re-arms
    [[nodiscard]] const std::string& StartString() const { return FStartString; }
    void SetStartString(const std::string& Value);
    [[nodiscard]] const std::string& EndString() const { return FEndString; }
    void SetEndString(const std::string& Value);                  // re-arms
    [[nodiscard]] bool IgnoreCase() const { return FIgnoreCase; } // true
    void SetIgnoreCase(bool Value);
    [[nodiscard]] serial::TSioCustomComPort* ComPort() const { return FComPort; } // none
    void SetComPort(serial::TSioCustomComPort* Value);
    [[nodiscard]] int32_t PacketSize() const { return FPacketSize; } // 0
    void SetPacketSize(int32_t Value);
    [[nodiscard]] bool IncludeStrings() const { return FIncludeStrings; } // true
    void SetIncludeStrings(bool Value);
    [[nodiscard]] int32_t TimeOut() const { return FTimeOut; } // 2184 ticks; 0: none
    void SetTimeOut(int32_t Value);

    // ---- Events ----
    TPacketNotifyEvent OnPacket;
    TStringPacketNotifyEvent OnStringPacket;
    TPacketTimeoutEvent OnTimeout;

    // ---- Public properties ----
    [[nodiscard]] int32_t EnableTimeout() const { return FEnableTimeout; } // 0: none
    void SetEnableTimeout(int32_t Value);
    [[nodiscard]] bool FlushOnTimeout() const { return FFlushOnTimeout; } // true
    void SetFlushOnTimeout(bool Value);
    [[nodiscard]] bool SyncEvents() const { return FSyncEvents; } // true
    void SetSyncEvents(bool Value);
    [[nodiscard]] TPacketMode PacketMode() const;
    [[nodiscard]] TSioDataPacketManager* InternalManager() const { return fManager.get(); }

    // Drops a partial match by disarming and arming again (when enabled on a port).
    void CancelMatch();
    // The packet's bytes (inside the events), or after a time-out the bytes collected.
    void GetCollectedString(std::string& Data) const;
    void GetCollectedData(const uint8_t*& Data, int32_t& Size) const;
    // Whether a packet was delivered / a time-out happened since the matcher was armed.
    [[nodiscard]] bool DataMatch() const;
    [[nodiscard]] bool TimedOutFlag() const;

    // Blocking waits for the next packet: AutoEnable off, arm, then run the owner thread's
    // pending synchronized calls (so the events can run) until a packet was delivered (true,
    // with its bytes) or the matcher timed out (false). Bounded: by the time-out, and by
    // kLongestPacketWait when TimeOut is 0. Owner thread only.
    bool WaitForString(std::string& Data);
    bool WaitForPacket(std::string& Data);

    void Loaded() override;

private:
    friend class TSioDataPacketManager;
    struct Pattern {
        std::string Bytes; // prepared: escapes resolved, upper case with IgnoreCase
        std::string Wild;  // '1' at a wildcard position, '0' elsewhere
    };

    // The manager's lock when the matcher has a manager (owner-thread entry points).
    [[nodiscard]] std::unique_lock<std::recursive_mutex> Guard() const;

    // ---- Called with the manager's lock held ----
    void Enable();
    void Disable();
    void CancelMatchLocked();
    void SetMode(TPacketMode Mode);
    void ProcessData(int32_t Start);
    void WaitStartByte(int32_t Start);
    void CollectByte(int32_t Start);
    void NotifyRemove(int32_t Pos);
    // Delivers the packet ending at the current byte; the lock is let go while the events
    // run. Returns false when the matcher was detached meanwhile (it must not be touched).
    bool Packet(TPacketEndCond Cond);
    bool TimedOut();
    void RemoveEnableTimer();
    void Log(uint8_t SubType, const uint8_t* Data = nullptr, uint32_t Len = 0) const;

    [[nodiscard]] static Pattern Prepare(const std::string& Raw, bool IgnoreCase);
    [[nodiscard]] bool Matches(uint8_t Byte, const Pattern& P, int32_t Pos) const;
    [[nodiscard]] uint8_t ByteAt(int32_t Index) const;
    // Reconfigures while disarmed, then restores Enabled (EndCond, EndString).
    template <typename Fn> void Rearming(Fn&& Change);
    // Attaches to the manager of Port, creating one when the port has none.
    void Attach(serial::TSioCustomComPort* Port);
    void Detach();

    // Property fields.
    bool FEnabled = false;
    bool FAutoEnable = true;
    TPacketStartCond FStartCond = scString;
    TPacketEndSet FEndCond;
    std::string FStartString;
    std::string FEndString;
    bool FIgnoreCase = true;
    serial::TSioCustomComPort* FComPort = nullptr;
    int32_t FPacketSize = 0;
    bool FIncludeStrings = true;
    int32_t FTimeOut = 2184;
    int32_t FEnableTimeout = 0;
    bool FFlushOnTimeout = true;
    bool FSyncEvents = true;

    // Matching state (the manager's lock).
    std::shared_ptr<TSioDataPacketManager> fManager;
    TPacketMode fMode = dpIdle;
    int32_t fBeginMatch = -1;
    int32_t StartMatchPos = 1;
    int32_t EndMatchPos = 1;
    int32_t EndMatchStart = 0;
    int32_t LocalPacketSize = 0;
    Pattern InternalStart;
    Pattern InternalEnd;
    int32_t fDataSize = 0;
    int32_t PacketBuffer = 0; // index of the delivered data in the manager's buffer
    std::string Collected;    // the bytes of the last packet or time-out, kept
    bool WillCollect = false;
    bool EnablePending = false;
    bool HaveCapture = false;
    bool FDataMatch = false;
    bool FTimedOut = false;
    // Packets and time-outs whose events have run; a blocking wait returns only after the
    // events of what it waited for, and is woken by packet_event_.
    std::atomic<uint64_t> delivered_{0};
    std::shared_ptr<base::Event> packet_event_ = std::make_shared<base::Event>(false, false);
    void NoteDelivered() {
        ++delivered_;
        packet_event_->Set();
    }
    uint32_t FEnableTimer = 0;
    // Cleared on the owner thread when the matcher goes: a delivery queued for the owner
    // thread that has not started by then does nothing.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

} // namespace packet
