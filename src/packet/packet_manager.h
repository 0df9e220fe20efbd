// The data packet manager: one per com port that has matchers. It is the matchers' reader of
// the port's received data: it listens to the port's dispatcher, copies every announced
// byte into its collection buffer, offers the bytes one by one to its matchers (the capture
// holder alone while one collects), removes the bytes of each delivered packet and follows
// the port as it opens and closes. TSioDataPacketManagerList finds the manager of a port.
//
// Contract:
// - Construction, Insert, Remove, the port's open/close callback and the deferred
//   destruction run on the owner thread; the trigger handler (received bytes, the capture
//   timer) runs on the port's dispatch thread. Lock guards the manager and the matching
//   state of its matchers; it is never held across a call that waits for another thread
//   (the events' synchronized call, deregistering a handler from the dispatcher).
// - Lock order: Lock -> the dispatcher's locks. The dispatcher calls the handler with none
//   of its locks held.
// - Managers are shared: the list, the matchers and a notification in progress each hold
//   a reference, so a manager released while the dispatch thread is still inside it lives
//   until that thread has left.
// - Nothing that happens while matching ends the dispatch thread: a failure there is shown
//   (base::ShowException) and matching goes on.
// - Memory is bounded: bytes no matcher is matching are dropped at the end of each read,
//   and a packet past kMaxPacketBytes is dropped.
#pragma once

#include "packet/packet_buffer.h"
#include "serial/com_port_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace serial {
class TSioCustomComPort;
class TSioBaseDispatcher;
} // namespace serial

namespace packet {

class TSioDataPacket;

class TSioDataPacketManager : public std::enable_shared_from_this<TSioDataPacketManager> {
public:
    // Makes a manager for Port and appends it to the process-wide list.
    static std::shared_ptr<TSioDataPacketManager> Create(serial::TSioCustomComPort& Port);
    ~TSioDataPacketManager();
    TSioDataPacketManager(const TSioDataPacketManager&) = delete;
    TSioDataPacketManager& operator=(const TSioDataPacketManager&) = delete;

    void Insert(TSioDataPacket& Packet);
    void Remove(TSioDataPacket& Packet);
    void EnableIfPending();
    void PortOpenCloseEx(serial::TSioCustomComPort& Sender, serial::TSioCallbackType Type);
    void PacketTriggerHandler(uint32_t Msg, uint32_t wParam, int32_t lParam);

    // ---- Reads (take Lock) ----
    [[nodiscard]] bool Enabled() const;
    [[nodiscard]] bool InEvent() const;
    [[nodiscard]] int32_t BufferPtr() const;
    [[nodiscard]] int32_t BufferCapacity() const;
    [[nodiscard]] serial::TSioCustomComPort* ComPort() const;
    [[nodiscard]] size_t PacketCount() const;
    // Bytes taken from the dispatcher so far, counted once each read has been matched.
    [[nodiscard]] uint64_t BytesReceived() const;

    // Guards the manager and its matchers' matching state.
    mutable std::recursive_mutex Lock;

private:
    friend class TSioDataPacket;
    friend class TSioDataPacketManagerList;
    explicit TSioDataPacketManager(serial::TSioCustomComPort& Port);

    // ---- Lock held ----
    void SetEnabled(bool Value);
    void NotifyData(int32_t Start);
    void DropUnmatched();
    void DropOverflow();
    void RemoveData(int32_t Start, int32_t Size);
    void SetCapture(TSioDataPacket& Packet, int32_t TimeOut);
    void ReleaseCapture(TSioDataPacket& Packet);
    void SetInEvent(bool Value);
    void ArmAll(bool CatchFailures);
    void DisarmAll();
    // Arms a matcher on the dispatch side, where a failure cannot reach the owner.
    void RearmOrShow(TSioDataPacket& Packet, bool DisarmFirst);
    void DisposeBuffer();
    [[nodiscard]] serial::TSioBaseDispatcher* Dispatcher() const;
    [[nodiscard]] bool Attached(const TSioDataPacket& Packet) const;
    void Receive(uint32_t Count);
    void Log(uint8_t SubType, const uint8_t* Data, uint32_t Len) const;
    // Runs events outside Lock (released and taken again around it); with Sync on the owner
    // thread. The caller holds Lock exactly once.
    void RunOutsideLock(const std::function<void()>& Events, bool Sync);
    // Takes the handler off the dispatcher outside Lock (the dispatcher waits for a call of
    // it in progress, which may be waiting for Lock).
    void Unhook(std::unique_lock<std::recursive_mutex>& Held);
    // The last matcher has gone: forget the port and destroy later on the owner thread.
    void Release(std::unique_lock<std::recursive_mutex>& Held);
    void PostDestroy();

    std::vector<TSioDataPacket*> PacketList; // serving order
    serial::TSioCustomComPort* fComPort;     // none once released
    bool HandlerInstalled = false;
    bool fEnabled = false;
    int32_t fCurBfrOffset = 0; // byte being offered; -1 after a removal past it
    PacketBuffer fDataBuffer;
    TSioDataPacket* fCapture = nullptr;
    uint32_t Timer = 0; // capture timer trigger; 0 when none
    bool fInEvent = false;
    bool NotifyPending = false;
    int32_t NotifyStart = 0;
    bool EnablePending = false;
    bool FKeepAlive = false;
    uint64_t fReceived = 0;
    // The dispatcher the handler and the capture timer were installed on.
    serial::TSioBaseDispatcher* fHookedDispatcher = nullptr;
};

// The managers of the process, in the order they were created.
class TSioDataPacketManagerList {
public:
    static TSioDataPacketManagerList& Instance();
    ~TSioDataPacketManagerList();
    void Insert(std::shared_ptr<TSioDataPacketManager> Manager);
    void Remove(const TSioDataPacketManager& Manager);
    [[nodiscard]] std::shared_ptr<TSioDataPacketManager>
    GetPortManager(const serial::TSioCustomComPort* Port) const;
    [[nodiscard]] size_t Count() const;

private:
    mutable std::mutex lock_;
    std::vector<std::shared_ptr<TSioDataPacketManager>> ManagerList;
};

} // namespace packet
