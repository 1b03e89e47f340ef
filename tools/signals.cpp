// SIGINT caught as a flag between files; SIGINT, SIGTERM and SIGHUP during a
// save remove the save's temporary file and end the process; ending by a
// signal with its default action.
#include "signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "velkor.h"

namespace velkor::cli {

namespace {

volatile std::sig_atomic_t interrupt_seen = 0;
volatile std::sig_atomic_t saving_now = 0;
// Told when a signal ends a save: prepared before the save, written by
// the handler with one write(2).
char stop_message[4096];
volatile std::sig_atomic_t stop_length = 0;

void on_signal(int number) {
    if (saving_now) {
        // The file keeps its old bytes wherever the save replaces it: the
        // new file beside it goes. A change in place is written in page-
        // sized steps, each of them whole.
        velkor_remove_temporary_files();
        if (stop_length > 0) {
            const ssize_t written = write(STDERR_FILENO, stop_message, static_cast<std::size_t>(stop_length));
            (void)written;
        }
        end_by_signal(number);
    }
    if (number == SIGINT && !interrupt_seen) {
        // The flag is read between files; a second Ctrl-C ends a stuck run.
        interrupt_seen = 1;
        return;
    }
    end_by_signal(number);
}

}  // namespace

void catch_interrupt() {
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool interrupted() { return interrupt_seen != 0; }

void saving(const char* shown_path) {
    if (shown_path == nullptr) {
        saving_now = 0;
        return;
    }
    static const char kBefore[] = "velkor: ";
    static const char kAfter[] =
        ": stopped by a signal during its save: each of its tags is whole, the old or the new; "
        "no temporary file is left\n";
    const std::size_t room = sizeof stop_message - sizeof kBefore - sizeof kAfter;
    const std::size_t n = std::min(std::strlen(shown_path), room);
    stop_length = 0;
    std::memcpy(stop_message, kBefore, sizeof kBefore - 1);
    std::memcpy(stop_message + sizeof kBefore - 1, shown_path, n);
    std::memcpy(stop_message + sizeof kBefore - 1 + n, kAfter, sizeof kAfter - 1);
    stop_length = static_cast<std::sig_atomic_t>(sizeof kBefore - 1 + n + sizeof kAfter - 1);
    saving_now = 1;
}

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
