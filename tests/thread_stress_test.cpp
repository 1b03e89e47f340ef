// Several threads in the library at once: every result must be the one a
// single thread gets. Run under ThreadSanitizer by tests/run_thorough.sh (the
// tsan preset runs the tests whose names contain "Thread").
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "test_files.h"
#include "velkor.h"
#include "velkor_analysis.h"

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

int32_t VELKOR_CALL answer_yes(const char*, const char*, uint32_t, void* context) {
    ++*static_cast<std::atomic<long>*>(context);
    return VELKOR_ANSWER_YES;
}
int32_t VELKOR_CALL answer_no(const char*, const char*, uint32_t, void* context) {
    ++*static_cast<std::atomic<long>*>(context);
    return VELKOR_ANSWER_NO;
}

TEST(ThreadStress, NoticesWhileTheHandlerChanges) {
    velkor_set_notice_handler(answer_yes, &yes_notices);
    std::atomic<bool> done{false};
    std::thread switcher([&] {
        for (bool yes = false; !done; yes = !yes) {
            velkor_set_notice_handler(yes ? answer_yes : answer_no, yes ? &yes_notices : &no_notices);
            std::this_thread::yield();
        }
    });
    std::atomic<long> yes_answers{0};
    std::atomic<long> no_answers{0};
    std::atomic<long> other_answers{0};
    const long calls = run_threads([&](int) {
        const int32_t answer = DisplayStringByVal("stress");
        if (answer == VELKOR_ANSWER_YES) {
            ++yes_answers;
        } else if (answer == VELKOR_ANSWER_NO) {
            ++no_answers;
        } else {
            ++other_answers;
        }
    });
    done = true;
    switcher.join();
    velkor_set_notice_handler(nullptr, nullptr);

    // Each notice reached exactly one handler, with that handler's context.
    EXPECT_EQ(other_answers, 0);
    EXPECT_EQ(yes_answers, yes_notices);
    EXPECT_EQ(no_answers, no_notices);
    EXPECT_EQ(yes_answers + no_answers, calls);
}

using velkor::testing::Bytes;
using velkor::testing::id3v1;
using velkor::testing::id3v2_header;
using velkor::testing::id3v2_text_frame;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::TempDir;

// What both exports give for one path when called alone.
struct Analysis {
    std::string path;
    int32_t written = 0;
    std::string report;
    velkor_info_record record;
};

Analysis analyse(const std::string& path) {
    Analysis a;
    a.path = path;
    char report[VELKOR_REPORT_SIZE];
    a.written = VkOpenMp3File(path.c_str(), report, 0);
    a.report = report;
    std::memset(&a.record, 'x', sizeof a.record);
    VkGetSonvexStruct(path.c_str(), &a.record);
    return a;
}

// Files of every kind the loader tells apart, and one that is not there.
std::vector<std::string> varied_files(const TempDir& dir) {
    std::vector<std::string> paths;
    Bytes cbr(200000, 0);
    put_header(cbr, 0);
    put(cbr, cbr.size() - 128, id3v1("Cbr", "Artist", "Album", "1999", "Comment", 5, 17));
    paths.push_back(dir.write("cbr.mp3", cbr));

    Bytes tag = id3v2_header(64);
    put(tag, 10, id3v2_text_frame("TIT2", "Tagged"));
    put(tag, tag.size(), id3v2_text_frame("TRCK", "9"));
    tag.resize(74);
    Bytes vbr = tag;
    put(vbr, vbr.size(), Bytes{0xFF, 0xF3, 0x90, 0xC4});  // MPEG-2, single channel
    put(vbr, vbr.size() + 9, velkor::testing::xing(1, 1234));
    vbr.resize(150000);
    paths.push_back(dir.write("vbr.mp3", vbr));

    Bytes jukebox(5000, 0);
    put_header(jukebox, 0);
    put(jukebox, 5, std::string("RealJukebox"));
    put_header(jukebox, 3000);
    paths.push_back(dir.write("jukebox.mp3", jukebox));

    std::mt19937 random(7);
    Bytes noise(120000);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
    paths.push_back(dir.write("noise.mp3", noise));

    paths.push_back(dir.write("zeros.mp3", Bytes(100000, 0)));
    paths.push_back(dir.write_sparse("big.mp3", Bytes{0xFF, 0xFB, 0x90, 0x64}, 300 << 20));
    paths.push_back(dir.path("missing.mp3"));
    return paths;
}

// Counts the notices.
std::atomic<long> open_notices{0};

int32_t VELKOR_CALL count_notice(const char*, const char*, uint32_t, void*) {
    ++open_notices;
    return VELKOR_ANSWER_OK;
}

TEST(ThreadStress, BothExportsOnDifferentFilesAtOnce) {
    TempDir dir;
    velkor_set_notice_handler(count_notice, nullptr);
    std::vector<Analysis> alone;
    for (const std::string& path : varied_files(dir)) alone.push_back(analyse(path));
    ASSERT_EQ(alone.front().written, 1);
    ASSERT_EQ(alone.back().written, 0);
    open_notices = 0;

    std::atomic<long> mismatches{0};
    std::atomic<long> missing_calls{0};
    std::vector<long> rounds(kThreads, 0);
    const long calls = run_threads([&](int t) {
        // Each thread walks the files from its own starting point, so that
        // different files are in analysis at the same moment.
        const Analysis& expected = alone[(t + rounds[t]++) % alone.size()];
        const Analysis now = analyse(expected.path);
        if (now.written != expected.written || now.report != expected.report ||
            std::memcmp(&now.record, &expected.record, sizeof now.record) != 0) {
            ++mismatches;
        }
        if (expected.path == alone.back().path) ++missing_calls;
    });
    velkor_set_notice_handler(nullptr, nullptr);

    EXPECT_GT(calls, static_cast<long>(alone.size()));
    EXPECT_EQ(mismatches, 0);
    // Two notices per missing file: one for each export.
    EXPECT_EQ(open_notices, 2 * missing_calls);
}

}  // namespace
