// The release number: the library's call, the header's string and its three
// numbers are one value (the build's project version).
#include <gtest/gtest.h>

#include <string>

#include "velkor.h"

TEST(Version, CallAndHeaderAgree) {
    EXPECT_STREQ(velkor_version(), VELKOR_VERSION);
    EXPECT_EQ(std::to_string(VELKOR_VERSION_MAJOR) + "." + std::to_string(VELKOR_VERSION_MINOR) + "." +
                  std::to_string(VELKOR_VERSION_PATCH),
              velkor_version());
}
