// velkor_set_notice_handler: a host application receiving the library's notices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "velkor.h"
#include "velkor_analysis.h"

namespace {

struct Host {
    std::vector<std::string> seen;
    int32_t answer = VELKOR_ANSWER_OK;
};

int32_t VELKOR_CALL host_handler(const char* text, const char* caption, uint32_t style,
                             void* context) {
    auto* host = static_cast<Host*>(context);
    host->seen.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
    return host->answer;
}

// Leaves the default handler in place whatever a test does.
class NoticeHandlerTest : public ::testing::Test {
protected:
    void TearDown() override { velkor_set_notice_handler(nullptr, nullptr); }
};

TEST_F(NoticeHandlerTest, HostReceivesTextCaptionStyleAndContext) {
    Host host;
    host.answer = VELKOR_ANSWER_YES;
    velkor_set_notice_handler(host_handler, &host);
    const char* text = "two\nlines";
    EXPECT_EQ(DisplayStringByVal("hello"), VELKOR_ANSWER_YES);
    EXPECT_EQ(DisplayStringByRef(&text), VELKOR_ANSWER_YES);
    ASSERT_EQ(host.seen.size(), 2u);
    EXPECT_EQ(host.seen[0], "Display String ByVal|hello|64");
    // The text reaches the host as it is, line feed included.
    EXPECT_EQ(host.seen[1], "Display String ByRef|two\nlines|64");
}

TEST_F(NoticeHandlerTest, LaterHandlerReplacesEarlierOne) {
    Host first, second;
    velkor_set_notice_handler(host_handler, &first);
    velkor_set_notice_handler(host_handler, &second);
    second.answer = VELKOR_ANSWER_NO;
    EXPECT_EQ(DisplayStringByVal("x"), VELKOR_ANSWER_NO);
    EXPECT_TRUE(first.seen.empty());
    EXPECT_EQ(second.seen.size(), 1u);
}

TEST_F(NoticeHandlerTest, NullRestoresTheStderrLine) {
    Host host;
    velkor_set_notice_handler(host_handler, &host);
    velkor_set_notice_handler(nullptr, &host);  // a context without a handler is ignored
    testing::internal::CaptureStderr();
    EXPECT_EQ(DisplayStringByVal("back\nto default"), VELKOR_ANSWER_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Display String ByVal: back to default\n");
    EXPECT_TRUE(host.seen.empty());
}

}  // namespace
