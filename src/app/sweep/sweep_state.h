// The sweep state shared by the main window's handlers: one instance, owned by the sweep
// controller, read and written only on the user-interface thread. Frequencies in Hz.
#pragma once

#include <cstdint>
#include <string>

namespace app {

struct SweepState {
    uint32_t CenterFreq = 0;    // centre edit's kHz x 1000, modulo 2^32
    uint32_t ScanWidth = 0;     // width edit's kHz x 1000, modulo 2^32
    double ScanStep = 0.0;      // distance between sweep points
    uint32_t CurFreq = 0;       // frequency of the next expected point
    uint32_t StopFreq = 0;      // last frequency of the sweep
    bool StartReceived = false; // the analyzer's start marker was seen in this sweep
    bool ContinuousScan = false;
    std::string LineEnd; // CR LF once the window has been created
};

} // namespace app
