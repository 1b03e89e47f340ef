// Several threads in the library at once: every result must be the one a
// single thread gets. Run under ThreadSanitizer by tests/run_all.sh (the
// tsan preset runs the tests whose names contain "Thread").
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "velkor.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 4;
constexpr auto kStressTime = std::chrono::milliseconds(1500);

// Runs body(thread index) on kThreads threads until the stress time is over;
// returns how many times it ran in all.
template <typename Body>
long run_threads(Body body) {
    std::atomic<long> calls{0};
    const Clock::time_point end = Clock::now() + kStressTime;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            long mine = 0;
            do {
                body(t);
                ++mine;
            } while (Clock::now() < end);
            calls += mine;
        });
    }
    for (std::thread& thread : threads) thread.join();
    return calls;
}

// Two hosts that count their notices and answer differently, so an answer
// tells which handler gave it.
std::atomic<long> yes_notices{0};
std::atomic<long> no_notices{0};

int32_t VK_CALL answer_yes(const char*, const char*, uint32_t, void* context) {
    ++*static_cast<std::atomic<long>*>(context);
    return VK_ANSWER_YES;
}
int32_t VK_CALL answer_no(const char*, const char*, uint32_t, void* context) {
    ++*static_cast<std::atomic<long>*>(context);
    return VK_ANSWER_NO;
}

TEST(ThreadStress, NoticesWhileTheHandlerChanges) {
    VkSetNoticeHandler(answer_yes, &yes_notices);
    std::atomic<bool> done{false};
    std::thread switcher([&] {
        for (bool yes = false; !done; yes = !yes) {
            VkSetNoticeHandler(yes ? answer_yes : answer_no, yes ? &yes_notices : &no_notices);
            std::this_thread::yield();
        }
    });
    std::atomic<long> yes_answers{0};
    std::atomic<long> no_answers{0};
    std::atomic<long> other_answers{0};
    const long calls = run_threads([&](int) {
        const int32_t answer = DisplayStringByVal("stress");
        if (answer == VK_ANSWER_YES) {
            ++yes_answers;
        } else if (answer == VK_ANSWER_NO) {
            ++no_answers;
        } else {
            ++other_answers;
        }
    });
    done = true;
    switcher.join();
    VkSetNoticeHandler(nullptr, nullptr);

    // Each notice reached exactly one handler, with that handler's context.
    EXPECT_EQ(other_answers, 0);
    EXPECT_EQ(yes_answers, yes_notices);
    EXPECT_EQ(no_answers, no_notices);
    EXPECT_EQ(yes_answers + no_answers, calls);
}

}  // namespace
