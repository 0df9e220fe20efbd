// tarnel-analyzer-sim: a simulated analyzer on a pseudo-terminal, published as COM<n> for
// the program. Runs until SIGINT, SIGTERM or SIGHUP, then removes its link.
#include "analyzer_sim/options.h"
#include "analyzer_sim/simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using analyzer_sim::ParseOptions;
    const char* env_dir = std::getenv("TARNEL_PORTS_DIR");
    const analyzer_sim::ParsedOptions parsed =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), env_dir ? env_dir : "");
    if (parsed.help) {
        std::fputs(analyzer_sim::Usage().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "tarnel-analyzer-sim: %s\n%s", parsed.error.c_str(),
                     analyzer_sim::Usage().c_str());
        return 2;
    }

    // The signals are taken by sigtimedwait below, never by a handler, and the loop's
    // thread inherits the mask, so no signal interrupts it half way. A blocked signal is
    // kept for sigtimedwait even when the shell started us with it ignored.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        analyzer_sim::Simulator simulator(*parsed.options);
        const analyzer_sim::SimulatorStatus first = simulator.Status();
        std::fprintf(stderr, "tarnel-analyzer-sim: %s -> %s (%s)\n", simulator.LinkPath().c_str(),
                     first.slave_path.c_str(), parsed.options->fast ? "unpaced" : "56000 baud");
        simulator.Start();
        // Woken once a second to notice a loop that ended on its own.
        const timespec tick{1, 0};
        while (sigtimedwait(&signals, nullptr, &tick) < 0) {
            if (!simulator.Status().running && !simulator.Status().error.empty()) {
                break;
            }
        }
        simulator.Stop();
        const std::string error = simulator.Status().error;
        return error.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnel-analyzer-sim: %s\n", e.what());
        return 1;
    }
}
