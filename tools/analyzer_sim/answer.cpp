#include "analyzer_sim/answer.h"

#include "analyzer_sim/reading.h"

namespace analyzer_sim {

Answer::Answer(const ScanCommand& command, const Faults& faults, FiredFaults& fired)
    : plan_(command), faults_(faults), fired_(fired) {}

bool Answer::Fires(int64_t at, bool& fired_flag) const {
    if (at == 0 || at != plan_.Index() || (fired_flag && !faults_.every_sweep)) {
        return false;
    }
    fired_flag = true;
    return true;
}

std::string Answer::NoiseLine() const {
    // A NUL and a byte above 127 first, then a fixed sequence (a small linear congruential
    // generator), so runs repeat exactly; bytes that would end the line or split it into
    // fields are moved aside.
    std::string noise = std::string("\0\xff", 2).substr(0, faults_.noise_bytes);
    noise.reserve(faults_.noise_bytes + 2);
    uint32_t state = 12345;
    while (noise.size() < faults_.noise_bytes) {
        state = state * 1103515245u + 12345u;
        auto byte = static_cast<unsigned char>(state >> 16);
        if (byte == '\r' || byte == '\n' || byte == ',') {
            byte = static_cast<unsigned char>(byte | 0x80);
        }
        noise += static_cast<char>(byte);
    }
    noise += "\r\n";
    return noise;
}

std::optional<AnswerPiece> Answer::Next() {
    AnswerPiece piece;
    if (!started_) {
        started_ = true;
        if (faults_.noise_bytes > 0 && faults_.noise_after == 0 &&
            (!fired_.noise || faults_.every_sweep)) {
            fired_.noise = true;
            piece.bytes = NoiseLine();
        }
        piece.bytes += "Start\r\n";
        return piece;
    }
    const std::optional<int64_t> hz = plan_.Next();
    if (!hz) {
        return std::nullopt;
    }
    const Reading reading = ReadingFor(plan_.Model().Impedance(static_cast<double>(*hz)));
    piece.bytes = Fires(faults_.bad_line, fired_.bad_line) ? BadMeasurementLine(reading)
                                                           : MeasurementLine(reading);
    if (faults_.noise_bytes > 0 && Fires(faults_.noise_after, fired_.noise)) {
        piece.bytes += NoiseLine();
    }
    if (Fires(faults_.pause_after, fired_.pause)) {
        piece.pause_after = faults_.pause;
    }
    piece.hangup_after = Fires(faults_.hangup_after, fired_.hangup);
    return piece;
}

} // namespace analyzer_sim
