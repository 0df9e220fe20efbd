#include "analyzer_sim/simulator.h"

#include "analyzer_sim/answer.h"
#include "analyzer_sim/pty_port.h"
#include "analyzer_sim/scan_command.h"
#include "analyzer_sim/unique_fd.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace analyzer_sim {

namespace {

using Clock = std::chrono::steady_clock;

// Output is produced ahead of the pty in pieces of about this size when unpaced.
constexpr size_t kFastChunk = 4096;
// Longest single wait, so a lost wake-up can never stall the loop for good.
constexpr std::chrono::milliseconds kLongestWait{1000};
constexpr std::chrono::milliseconds kHangUpGrace{100};
// A paced line due longer ago than this is not made up for.
constexpr std::chrono::milliseconds kPacingSlack{50};

Clock::duration LineTime(size_t bytes) {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / kLineBytesPerSecond));
}

int PollTimeout(Clock::duration wait) {
    if (wait <= Clock::duration::zero()) {
        return 0;
    }
    if (wait >= kLongestWait) {
        return static_cast<int>(kLongestWait.count());
    }
    // Rounded up, so a wait for a gate never wakes just before it.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

} // namespace

void NoteToStderr(std::string_view note) {
    std::fprintf(stderr, "tarnel-analyzer-sim: %.*s\n", static_cast<int>(note.size()), note.data());
}

// The loop and everything only it touches.
class Simulator::Loop {
public:
    explicit Loop(Simulator& owner)
        : owner_(owner), link_(owner.options_.ports_dir, owner.options_.port),
          stop_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (!stop_fd_.Valid()) {
            throw std::system_error(errno, std::generic_category(), "eventfd");
        }
        OpenPty();
    }

    void Run() {
        Update([](SimulatorStatus& s) { s.running = true; });
        try {
            while (!stop_.load()) {
                Produce();
                Flush();
                if (hangup_pending_ && Drained()) {
                    HangUp();
                    continue;
                }
                if (completion_pending_ && Drained()) {
                    completion_pending_ = false;
                    Update([](SimulatorStatus& s) { ++s.sweeps_completed; });
                }
                Wait();
            }
        } catch (const std::exception& e) {
            const std::string what = e.what();
            owner_.notes_(what);
            Update([&](SimulatorStatus& s) { s.error = what; });
        }
        Update([](SimulatorStatus& s) { s.running = false; });
    }

    void RequestStop() {
        stop_.store(true);
        const uint64_t one = 1;
        // The counter cannot overflow from these few writes; a failure leaves stop_ set,
        // which the loop sees within kLongestWait.
        [[maybe_unused]] const ssize_t n = ::write(stop_fd_.Get(), &one, sizeof one);
    }

    [[nodiscard]] std::string LinkPath() const { return link_.Path().string(); }

private:
    template <typename F> void Update(F change) {
        {
            std::lock_guard lock(owner_.status_mutex_);
            change(owner_.status_);
        }
        owner_.status_changed_.notify_all();
    }

    void Note(const std::string& text) { owner_.notes_(text); }

    void OpenPty() {
        master_ = std::make_unique<PtyMaster>();
        link_.Publish(master_->SlavePath());
        closed_ = false;
        const std::string path = master_->SlavePath();
        Update([&](SimulatorStatus& s) {
            ++s.generation;
            s.slave_path = path;
            s.attached = false;
        });
    }

    [[nodiscard]] bool Drained() const { return sent_ == out_.size(); }
    [[nodiscard]] const Options& Opts() const { return owner_.options_; }

    // Hands the answer's pieces to the output when their time has come.
    void Produce() {
        if (!answer_ || hangup_pending_ || closed_) {
            return;
        }
        const size_t ahead = Opts().fast ? kFastChunk : 1;
        Clock::time_point now = Clock::now();
        while (now >= gate_ && out_.size() - sent_ < ahead) {
            std::optional<AnswerPiece> piece = answer_->Next();
            if (!piece) {
                answer_.reset();
                completion_pending_ = true;
                return;
            }
            out_ += piece->bytes;
            if (!Opts().fast) {
                // Counted from the previous line's end, not from the late wake-up, so the
                // average rate is the line's; after a gap it starts afresh.
                const Clock::time_point from = now - gate_ > kPacingSlack ? now : gate_;
                gate_ = from + LineTime(piece->bytes.size());
            }
            if (piece->pause_after > std::chrono::milliseconds::zero()) {
                gate_ = std::max(gate_, now) + piece->pause_after;
            }
            if (piece->hangup_after) {
                hangup_pending_ = true;
                return;
            }
            now = Clock::now();
        }
    }

    // Writes what the pty takes now.
    void Flush() {
        while (!closed_ && !Drained()) {
            const ssize_t n = ::write(master_->Fd(), out_.data() + sent_, out_.size() - sent_);
            if (n > 0) {
                sent_ += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EIO) {
                PortClosed();
            }
            break;
        }
        if (Drained()) {
            out_.clear();
            sent_ = 0;
        }
    }

    void Wait() {
        pollfd fds[2] = {{stop_fd_.Get(), POLLIN, 0}, {master_->Fd(), POLLIN, 0}};
        nfds_t count = 2;
        Clock::duration wait = kLongestWait;
        if (closed_) {
            // The master reports a hang-up for as long as no program has the port open;
            // polling it would return at once, so look again after a short while.
            count = 1;
            wait = kDetachedPoll;
        } else if (!Drained()) {
            fds[1].events |= POLLOUT;
        } else if (answer_ && !hangup_pending_) {
            wait = gate_ - Clock::now();
        }
        const int ready = ::poll(fds, count, PollTimeout(wait));
        if (ready < 0) {
            if (errno == EINTR) {
                return;
            }
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (closed_) {
            fds[1].revents = 0;
            (void)::poll(&fds[1], 1, 0);
            if ((fds[1].revents & (POLLIN | POLLHUP)) == POLLHUP) {
                return;
            }
            closed_ = false;
        }
        if (fds[1].revents & POLLIN) {
            Receive();
        } else if (fds[1].revents & POLLHUP) {
            PortClosed();
        }
    }

    void Receive() {
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(master_->Fd(), buffer, sizeof buffer);
            if (n > 0) {
                MarkAttached();
                for (CommandEvent& event : parser_.Feed({buffer, static_cast<size_t>(n)})) {
                    Handle(event);
                }
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n == 0 || (n < 0 && errno == EIO)) {
                PortClosed();
            }
            return;
        }
    }

    void MarkAttached() {
        std::lock_guard lock(owner_.status_mutex_);
        if (!owner_.status_.attached) {
            owner_.status_.attached = true;
            owner_.status_changed_.notify_all();
        }
    }

    void Handle(CommandEvent& event) {
        if (auto* bad = std::get_if<MalformedCommand>(&event)) {
            Note("ignored \"" + Printable(bad->text) + "\": " + bad->reason);
            Update([](SimulatorStatus& s) { ++s.malformed; });
            return;
        }
        const ScanCommand& command = std::get<ScanCommand>(event);
        CutShort(false);
        answer_.emplace(command, Opts().faults, fired_);
        Update([](SimulatorStatus& s) { ++s.commands; });
    }

    // Ends the current sweep. Unsent lines are dropped, but a line already partly on the
    // line is finished unless the line itself is gone.
    void CutShort(bool line_gone) {
        bool dropped = false;
        if (line_gone) {
            dropped = !Drained();
            out_.clear();
            sent_ = 0;
        } else if (!Drained()) {
            size_t keep = sent_;
            if (sent_ > 0 && out_[sent_ - 1] != '\n') {
                keep = out_.find('\n', sent_) + 1;
            }
            dropped = keep < out_.size();
            out_.resize(keep);
        }
        const bool abandoned = answer_.has_value() || (completion_pending_ && dropped);
        if (completion_pending_ && !abandoned) {
            Update([](SimulatorStatus& s) { ++s.sweeps_completed; });
        }
        if (abandoned) {
            Update([](SimulatorStatus& s) { ++s.sweeps_abandoned; });
        }
        answer_.reset();
        completion_pending_ = false;
        hangup_pending_ = false;
    }

    // The program closed its end: nothing sent now would reach anyone.
    void PortClosed() {
        closed_ = true;
        CutShort(true);
        parser_ = CommandParser{};
        DropUnread();
        Update([](SimulatorStatus& s) { s.attached = false; });
    }

    // A pty keeps what was sent after the program's last read for the next one to open it;
    // a serial line does not. Emptied through a slave descriptor of our own, which does
    // not touch what the program may already have sent the other way.
    void DropUnread() {
        const UniqueFd slave(
            ::open(master_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (slave.Valid()) {
            (void)::tcflush(slave.Get(), TCIFLUSH);
        }
    }

    void HangUp() {
        // A pty drops what its reader has not read yet when it hangs up; a moment's grace
        // lets the lines before the hang-up reach a program that is reading.
        WaitUnlessStopped(Clock::now() + kHangUpGrace);
        Note("hanging up " + link_.Path().string());
        CutShort(true);
        parser_ = CommandParser{};
        master_.reset();
        Update([](SimulatorStatus& s) {
            ++s.hangups;
            s.attached = false;
        });
        WaitUnlessStopped(Clock::now() + Opts().faults.return_after);
        if (stop_.load()) {
            return;
        }
        OpenPty();
        Note("back on " + master_->SlavePath());
    }

    void WaitUnlessStopped(Clock::time_point until) {
        while (!stop_.load()) {
            const Clock::duration left = until - Clock::now();
            if (left <= Clock::duration::zero()) {
                return;
            }
            pollfd stop{stop_fd_.Get(), POLLIN, 0};
            (void)::poll(&stop, 1, PollTimeout(left));
        }
    }

    Simulator& owner_;
    PortLink link_;
    UniqueFd stop_fd_;              // readable once a stop is requested
    std::atomic<bool> stop_{false}; // set by RequestStop from any thread
    std::unique_ptr<PtyMaster> master_;
    bool closed_ = false; // the program's end is closed (the master reports a hang-up)
    CommandParser parser_;
    FiredFaults fired_;
    std::optional<Answer> answer_; // the sweep being answered
    std::string out_;              // produced bytes; out_[sent_..] not yet written
    size_t sent_ = 0;
    Clock::time_point gate_{};        // nothing more is produced before this
    bool hangup_pending_ = false;     // hang up once out_ is written
    bool completion_pending_ = false; // the sweep's last line waits in out_
};

Simulator::Simulator(Options options, NoteSink notes)
    : options_(std::move(options)), notes_(std::move(notes)), loop_(std::make_unique<Loop>(*this)) {
}

Simulator::~Simulator() {
    Stop();
}

void Simulator::Run() {
    loop_->Run();
}

void Simulator::Start() {
    thread_ = std::thread([this] { Run(); });
}

void Simulator::RequestStop() {
    loop_->RequestStop();
}

void Simulator::Stop() {
    RequestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

SimulatorStatus Simulator::Status() const {
    std::lock_guard lock(status_mutex_);
    return status_;
}

bool Simulator::WaitFor(const std::function<bool(const SimulatorStatus&)>& pred,
                        std::chrono::milliseconds limit) const {
    std::unique_lock lock(status_mutex_);
    return status_changed_.wait_for(lock, limit, [&] { return pred(status_); });
}

std::string Simulator::LinkPath() const {
    return loop_->LinkPath();
}

} // namespace analyzer_sim
