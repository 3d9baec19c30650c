// The formatter: whole texts, and numbers that read back bit for bit.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/text_format.h"

namespace {

// Nine digits: a float comes back bit for bit, with no more digits than it needs.
TEST(NumberText, EnoughDigitsForAFloatAndNoMore) {
    EXPECT_EQ(platform::number_text(0.25), "0.25");
    EXPECT_EQ(platform::number_text(0.1f), "0.100000001");
    EXPECT_EQ(platform::number_text(123456789012.0), "1.23456789e+11");
    for (float f : {1.0f / 3, 12345.678f, 3.4e38f, 1e-30f})
        EXPECT_EQ(std::strtof(platform::number_text(f).c_str(), nullptr), f);
}

TEST(FormatText, WholeWhateverItsLength) {
    const std::string long_text(300, 'n');  // longer than any buffer the callers had
    EXPECT_EQ(platform::format_text("%s!", long_text.c_str()), long_text + "!");
}

}  // namespace
