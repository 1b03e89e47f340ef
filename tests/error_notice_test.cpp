// The error notice: fixed texts per code, the caller's caption, OK only.
#include <gtest/gtest.h>

#include "notice_recorder.h"
#include "stream/mp3_file_info.h"

namespace {

using velkor::testing::NoticeRecorder;

TEST(ErrorNotice, ShowsTheTextOfEachKnownCode) {
    NoticeRecorder recorder;
    velkor::show_error_notice(2, "/music/a.mp3");
    velkor::show_error_notice(4, "c");
    const auto& n = recorder.notices();
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].text, "You tried to open a file\nthat didn't work");
    EXPECT_EQ(n[0].caption, "/music/a.mp3");
    EXPECT_EQ(n[1].text, "The file that was opened\nwas no correct .mp3-file");
    for (const auto& notice : n) EXPECT_EQ(notice.style, 0x1000u);
}

TEST(ErrorNotice, ShowsNothingForOtherCodes) {
    NoticeRecorder recorder;
    for (int code : {0, 1, 3, 5, 7, 8, 9, 16, -1}) velkor::show_error_notice(code, "x");
    EXPECT_TRUE(recorder.notices().empty());
}

}  // namespace
