// Tracing (the bytes sent and received) and the dispatch log through the com port: the
// state each request reaches, and the dumps to TraceName and LogName.
#include "serial/com_port.h"
#include "serial/errors.h"

namespace serial {

namespace {

// One of the two recorders of a dispatcher, so both follow the same state table.
struct Recorder {
    TSioBaseDispatcher& d;
    bool log;

    int32_t Init(uint32_t size) const {
        if (!log)
            return d.InitTracing(size);
        d.InitDispatchLogging(size);
        return 0;
    }
    void Start() const { log ? d.StartDispatchLogging() : d.StartTracing(); }
    void Stop() const { log ? d.StopDispatchLogging() : d.StopTracing(); }
    void Clear() const { log ? d.ClearDispatchLogging() : d.ClearTracing(); }
    void Abort() const { log ? d.AbortDispatchLogging() : d.AbortTracing(); }
    int32_t Write(const std::string& name, bool append, bool hex, bool all_hex) const {
        if (log)
            return append ? d.AppendDispatchLog(name, hex, all_hex)
                          : d.DumpDispatchLog(name, hex, all_hex);
        return append ? d.AppendTrace(name, hex, all_hex) : d.DumpTrace(name, hex, all_hex);
    }
};

} // namespace

void TSioCustomComPort::SetTracing(TTraceLogState NewState) {
    ChangeTraceLog(false, NewState);
}

void TSioCustomComPort::SetLogging(TTraceLogState NewState) {
    ChangeTraceLog(true, NewState);
}

void TSioCustomComPort::ChangeTraceLog(bool log, TTraceLogState NewState) {
    TTraceLogState& state = log ? FLogging : FTracing;
    // While opening, the stored state is applied again.
    if (NewState == state && !Opening)
        return;
    TSioBaseDispatcher* d = OpenDispatcher();
    if (d == nullptr) {
        // A closed port has nothing to dump, clear or pause.
        state = NewState == tlOn ? tlOn : tlOff;
        return;
    }
    const Recorder rec{*d, log};
    const bool active = state == tlOn || state == tlPause;
    const std::string& name = log ? FLogName : FTraceName;
    const bool hex = log ? FLogHex : FTraceHex;
    const bool all_hex = log ? FLogAllHex : FTraceAllHex;
    // A write that fails still leaves the recorder in the state asked for; the failure is
    // raised afterwards.
    int32_t result = 0;
    switch (NewState) {
    case tlOff:
        if (!active)
            return;
        rec.Abort();
        state = tlOff;
        break;
    case tlOn:
        if (state == tlPause) {
            rec.Start();
        } else {
            state = tlOff;
            Check(rec.Init(log ? FLogSize : FTraceSize));
        }
        state = tlOn;
        break;
    case tlDump:
    case tlAppend:
        if (!active)
            return;
        result = rec.Write(name, NewState == tlAppend, hex, all_hex);
        rec.Abort();
        state = tlOff;
        break;
    case tlClear:
        if (active)
            rec.Clear();
        break;
    case tlPause:
        if (state != tlOn)
            return;
        rec.Stop();
        state = tlPause;
        break;
    case tlAppendAndContinue:
        if (!active)
            return;
        result = rec.Write(name, true, hex, all_hex);
        rec.Start();
        state = tlOn;
        break;
    }
    Check(result);
}

void TSioCustomComPort::InitTracing(uint32_t NumEntries) {
    if (NumEntries != 0)
        SetTraceSize(NumEntries);
    Check(ValidDispatcher().InitTracing(FTraceSize));
    FTracing = tlOn;
}

void TSioCustomComPort::DumpTrace(const std::string& FName, bool InHex) {
    const int32_t result = ValidDispatcher().DumpTrace(FName, InHex, FTraceAllHex);
    FTracing = tlOff;
    Check(result);
}

void TSioCustomComPort::AppendTrace(const std::string& FName, bool InHex, TTraceLogState NewState) {
    const int32_t result = ValidDispatcher().AppendTrace(FName, InHex, FTraceAllHex);
    FTracing = NewState;
    Check(result);
}

void TSioCustomComPort::ClearTracing() {
    ValidDispatcher().ClearTracing();
}

void TSioCustomComPort::AbortTracing() {
    ValidDispatcher().AbortTracing();
    FTracing = tlOff;
}

void TSioCustomComPort::StartTracing() {
    ValidDispatcher().StartTracing();
    FTracing = tlOn;
}

void TSioCustomComPort::StopTracing() {
    ValidDispatcher().StopTracing();
    FTracing = tlPause;
}

void TSioCustomComPort::AddTraceEntry(char CurEntry, char CurCh) {
    ValidDispatcher().AddTraceEntry(CurEntry, static_cast<uint8_t>(CurCh));
}

void TSioCustomComPort::InitLogging(uint32_t Size) {
    if (Size != 0)
        SetLogSize(Size);
    ValidDispatcher().InitDispatchLogging(FLogSize);
    FLogging = tlOn;
}

void TSioCustomComPort::DumpLog(const std::string& FName, bool InHex) {
    const int32_t result = ValidDispatcher().DumpDispatchLog(FName, InHex, FLogAllHex);
    FLogging = tlOff;
    Check(result);
}

void TSioCustomComPort::AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState) {
    const int32_t result = ValidDispatcher().AppendDispatchLog(FName, InHex, FLogAllHex);
    FLogging = NewState;
    Check(result);
}

void TSioCustomComPort::ClearLogging() {
    ValidDispatcher().ClearDispatchLogging();
}

void TSioCustomComPort::AbortLogging() {
    ValidDispatcher().AbortDispatchLogging();
    FLogging = tlOff;
}

void TSioCustomComPort::StartLogging() {
    ValidDispatcher().StartDispatchLogging();
    FLogging = tlOn;
}

void TSioCustomComPort::StopLogging() {
    ValidDispatcher().StopDispatchLogging();
    FLogging = tlPause;
}

void TSioCustomComPort::AddStringToLog(const std::string& S) {
    ValidDispatcher().AddStringToLog(S);
}

} // namespace serial
