// Trigger notifications reaching the com port's events on the owner thread.
#include "serial/com_port_window.h"

#include "base/error_display.h"
#include "serial/com_port.h"
#include "serial/port_list.h"

namespace serial {

void TComWindow::WndProc(uint32_t Msg, uint32_t wParam, int32_t lParam) {
    base::RunHandler([&] { port_.DispatchWindowMessage(Msg, wParam, lParam); });
}

TSioWindowHandle TSioCustomComPort::ComWindow() const {
    return fComWindow.get();
}

void TSioCustomComPort::RegisterComPort(bool Enabling) {
    if (Enabling) {
        fComWindow = std::make_unique<TComWindow>(*this);
        FDispatcher->RegisterWndTriggerHandler(fComWindow.get());
        return;
    }
    if (fComWindow && FDispatcher)
        FDispatcher->DeregisterWndTriggerHandler(fComWindow.get());
    fComWindow.reset();
}

void TSioCustomComPort::DispatchWindowMessage(uint32_t Msg, uint32_t wParam, int32_t lParam) {
    if (Msg < APW_TRIGGERAVAIL || Msg > APW_TRIGGERSTATUS)
        return;
    // Only this port's own dispatcher speaks to its receiver; a notification of an earlier
    // dispatcher still on its way is dropped.
    const auto handle = static_cast<int32_t>(static_cast<uint32_t>(lParam) >> 16);
    {
        std::lock_guard lock(PortListLock());
        if (!FDispatcher || PortListItem(handle) != FDispatcher.get())
            return;
    }
    const auto trigger = static_cast<uint16_t>(wParam);
    const auto data = Msg == APW_TRIGGERAVAIL ? trigger : static_cast<uint16_t>(lParam & 0xFFFF);
    Trigger(static_cast<uint16_t>(Msg), trigger, data);
    switch (Msg) {
    case APW_TRIGGERAVAIL:
        TriggerAvail(trigger);
        break;
    case APW_TRIGGERDATA:
        TriggerData(trigger);
        break;
    case APW_TRIGGERTIMER:
        TriggerTimer(trigger);
        break;
    case APW_TRIGGERSTATUS:
        TriggerStatus(trigger);
        switch (TSioBaseDispatcher::ClassifyStatusTrigger(trigger)) {
        case stModem:
            TriggerModemStatus();
            break;
        case stLine:
            TriggerLineError(LineError(), LineBreak());
            break;
        case stOutBuffFree:
            TriggerOutbuffFree();
            break;
        case stOutBuffUsed:
            TriggerOutbuffUsed();
            break;
        case stOutSent:
            TriggerOutSent();
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
}

void TSioCustomComPort::Trigger(uint16_t Msg, uint16_t TriggerHandle, uint16_t Data) {
    if (FOnTrigger)
        FOnTrigger(*this, Msg, TriggerHandle, Data);
}
void TSioCustomComPort::TriggerAvail(uint16_t Count) {
    if (FOnTriggerAvail)
        FOnTriggerAvail(*this, Count);
}
void TSioCustomComPort::TriggerData(uint16_t TriggerHandle) {
    if (FOnTriggerData)
        FOnTriggerData(*this, TriggerHandle);
}
void TSioCustomComPort::TriggerStatus(uint16_t TriggerHandle) {
    if (FOnTriggerStatus)
        FOnTriggerStatus(*this, TriggerHandle);
}
void TSioCustomComPort::TriggerTimer(uint16_t TriggerHandle) {
    if (FOnTriggerTimer)
        FOnTriggerTimer(*this, TriggerHandle);
}
void TSioCustomComPort::TriggerLineError(uint16_t Error, bool LineBreak) {
    if (FOnTriggerLineError)
        FOnTriggerLineError(*this, Error, LineBreak);
}
void TSioCustomComPort::TriggerModemStatus() {
    if (FOnTriggerModemStatus)
        FOnTriggerModemStatus(*this);
}
void TSioCustomComPort::TriggerOutbuffFree() {
    if (FOnTriggerOutbuffFree)
        FOnTriggerOutbuffFree(*this);
}
void TSioCustomComPort::TriggerOutbuffUsed() {
    if (FOnTriggerOutbuffUsed)
        FOnTriggerOutbuffUsed(*this);
}
void TSioCustomComPort::TriggerOutSent() {
    if (FOnTriggerOutSent)
        FOnTriggerOutSent(*this);
}
void TSioCustomComPort::WaitChar(char C) {
    if (OnWaitChar)
        OnWaitChar(*this, C);
}

} // namespace serial
