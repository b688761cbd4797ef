#include "interruption.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace interruption {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

core::TStopFlag gSignal{0};

extern "C" void OnSignal(int signal) {
    gSignal.store(signal);
}

}  // namespace

void Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: the flag is checked where it matters,
    // and the libraries below need not expect EINTR.
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        // A run under nohup goes on when the terminal hangs up: SIGHUP
        // ignored by whoever started it stays ignored.
        struct sigaction old {};
        if (signal == SIGHUP && ::sigaction(signal, nullptr, &old) == 0 &&
            old.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

const core::TStopFlag& Flag() {
    return gSignal;
}

bool Requested() {
    return gSignal.load() != 0;
}

int ExitCode() {
    return 128 + gSignal.load();
}

std::string Message(std::string_view whatIsLeft) {
    const int signal = gSignal.load();
    const char* name = signal == SIGINT    ? "SIGINT"
                       : signal == SIGTERM ? "SIGTERM"
                       : signal == SIGHUP  ? "SIGHUP"
                       : signal == SIGQUIT ? "SIGQUIT"
                                           : "a signal";
    return std::string("interrupted by ") + name + "; " + std::string(whatIsLeft);
}

void Hold(const char* point) {
    const char* wanted = std::getenv("VELLORA_RENDER_TEST_HOLD");
    if (wanted == nullptr || std::strcmp(wanted, point) != 0) return;
    std::fputs("ready\n", stderr);
    std::fflush(stderr);
    // Half a minute at most: a test that never sends its signal still ends.
    for (int waited = 0; waited < 15000 && !Requested(); ++waited) {
        const timespec pause{0, 2'000'000};
        ::nanosleep(&pause, nullptr);
    }
}

}  // namespace interruption
