// SIGINT caught as a flag; ending by a signal with its default action.
#include "signals.h"

#include <pthread.h>
#include <signal.h>

#include <csignal>
#include <cstdlib>

namespace velkor::cli {

namespace {

volatile std::sig_atomic_t interrupt_seen = 0;

void on_interrupt(int) { interrupt_seen = 1; }

}  // namespace

void catch_interrupt() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // The library's calls run on; the flag is read between results. The
    // handler then stands down, so a second Ctrl-C ends a stuck run.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() { return interrupt_seen != 0; }

void end_by_signal(int number) {
    std::signal(number, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, number);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(number);
    std::_Exit(128 + number);  // not reached unless the signal was held back
}

}  // namespace velkor::cli
