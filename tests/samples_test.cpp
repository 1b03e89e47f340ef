// The interoperability samples and the platform layer under them.
#include <gtest/gtest.h>

#include <cstring>

#include "notice_recorder.h"
#include "platform/bounded_copy.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using velkor::testing::NoticeRecorder;
namespace platform = velkor::platform;

// The sums wrap modulo 2^32 as the 32-bit callers' own arithmetic does;
// CompareNums gives the larger.
TEST(Arithmetic, WrapsModulo2To32) {
    constexpr int32_t kMin = -2147483647 - 1, kMax = 2147483647;
    const struct {
        int32_t(VELKOR_CALL* call)(int32_t, int32_t);
        int32_t a, b, result;
    } kCases[] = {{AddNums, kMax, 1, kMin},         {AddNums, -3, 5, 2},           {SubtractNums, kMin, 1, kMax},
                  {SubtractNums, 10, 4, 6},         {MultiplyNums, 65536, 65536, 0}, {MultiplyNums, -7, 6, -42},
                  {MultiplyNums, kMax, 2, -2},      {CompareNums, -5, 3, 3},       {CompareNums, 3, -5, 3},
                  {CompareNums, 7, 7, 7},           {CompareNums, kMin, -1, -1}};
    for (const auto& c : kCases) EXPECT_EQ(c.call(c.a, c.b), c.result) << c.a << " " << c.b;
}

TEST(FillString, NeedsRoomForTheZeroByte) {
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    FillString(buffer, 21);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(buffer[21], 'x');
    FillString(buffer, 0);
    EXPECT_EQ(buffer[0], 'x');

    FillString(buffer, 22);
    EXPECT_STREQ(buffer, "Hello from the C DLL!");
    EXPECT_EQ(buffer[22], 'x');  // nothing written behind the zero byte
    FillString(nullptr, 100);    // ignored
}

TEST(InStrRev, FindsTheLastOccurrence) {
    EXPECT_EQ(InStrRev("a.b.c", '.'), 4);
    EXPECT_EQ(InStrRev("a.b.c", 'z'), 0);
    EXPECT_EQ(InStrRev("a.b.c", 'a'), 1);
    EXPECT_EQ(InStrRev("", 'a'), 0);
    // Only the low 8 bits of the character code count.
    EXPECT_EQ(InStrRev("a.b.c", 0x12E), 4);
    // A zero low byte finds the terminator.
    EXPECT_EQ(InStrRev("a.b.c", 0), 6);
    EXPECT_EQ(InStrRev("a.b.c", 0x100), 6);
    EXPECT_EQ(InStrRev(nullptr, '.'), 0);
}

TEST(MyStructProc, WritesSevenCharactersIntoBothFields) {
    velkor_sample_record record;
    std::memset(&record, 'x', sizeof record);
    MyStructProc(&record);
    EXPECT_STREQ(record.first, "kvzt482");
    EXPECT_STREQ(record.second, "kvzt482");
    MyStructProc(nullptr);
}

TEST(DisplayString, ShowsAnInformationNotice) {
    NoticeRecorder recorder(platform::kAnswerOk);
    const char* text = "by reference";
    EXPECT_EQ(DisplayStringByVal("by value"), platform::kAnswerOk);
    EXPECT_EQ(DisplayStringByRef(&text), platform::kAnswerOk);
    ASSERT_EQ(recorder.notices().size(), 2u);
    EXPECT_EQ(recorder.notices()[0].text, "by value");
    EXPECT_EQ(recorder.notices()[0].caption, "Display String ByVal");
    EXPECT_EQ(recorder.notices()[0].style, 0x40u);
    EXPECT_EQ(recorder.notices()[1].text, "by reference");
    EXPECT_EQ(recorder.notices()[1].caption, "Display String ByRef");
    EXPECT_EQ(recorder.notices()[1].style, 0x40u);
}

TEST(DisplayString, PassesTheHandlersAnswerThrough) {
    NoticeRecorder recorder(platform::kAnswerYes);
    EXPECT_EQ(DisplayStringByVal("x"), platform::kAnswerYes);
    EXPECT_EQ(DisplayStringByRef(nullptr), platform::kAnswerYes);
    EXPECT_EQ(recorder.notices()[1].text, "");
}

TEST(Notice, DefaultAnswerLeavesDataUnchanged) {
    EXPECT_EQ(platform::default_answer(platform::kSystemModal), platform::kAnswerOk);
    EXPECT_EQ(platform::default_answer(platform::kIconQuestion | platform::kButtonsYesNo),
              platform::kAnswerNo);
    // The default handler answers without asking anyone.
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::show_notice("line one\nline two", "Caption",
                                    platform::kButtonsYesNo | platform::kIconQuestion),
              platform::kAnswerNo);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption: line one line two\n");
}

TEST(BoundedCopy, CopiesAtMostNMinusOneCharacters) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    velkor::bounded_copy(field, "kvzt4821", 8);
    EXPECT_STREQ(field, "kvzt482");

    std::memset(field, 'x', sizeof field);
    velkor::bounded_copy(field, "abc", 0);
    EXPECT_EQ(field[0], 'x');
    velkor::bounded_copy(field, "abc", 1);
    EXPECT_EQ(field[0], '\0');
    EXPECT_EQ(field[1], 'x');
    velkor::bounded_copy(field, "abc", 8);
    EXPECT_STREQ(field, "abc");
    EXPECT_EQ(field[4], 'x');  // nothing past the zero byte
    velkor::bounded_copy(field, nullptr, 8);
    EXPECT_STREQ(field, "");
}

}  // namespace
