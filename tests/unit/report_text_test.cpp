// Texts the programs write: the formatter's whole texts and numbers that
// read back bit for bit, and the --report CSV's quoting and formula guard.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/text_format.h"
#include "tools/batch/report.h"

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

TEST(ReportCsv, FieldsQuotedOnlyWhenTheyMustBe) {
    const std::pair<std::string, std::string> cases[] = {{"plain; text", "plain; text"},
                                                         {"a,b", "\"a,b\""},
                                                         {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                                         {"two\nlines", "\"two\nlines\""},
                                                         {"cr\r", "\"cr\r\""},
                                                         {"", ""}};
    for (const auto& [text, field] : cases) EXPECT_EQ(csv_field(text), field) << text;
}

// No cell starts as a formula; a relative path keeps naming its file.
TEST(ReportCsv, NoCellStartsAsAFormula) {
    const std::string cells =
        csv_text({{"-=cmd.stl", "@x.bmp", "+1", "=2", "\t3", "", "", "", "", "\r4", "", "-j"},
                  {"/abs/=a.stl", "b-.bmp", "", "", "", "", "", "", "", "", "", ""}},
                 {"-png", "@1"});
    EXPECT_EQ(
        cells.substr(cells.find("\r\n") + 2),
        "./-=cmd.stl,./@x.bmp,'+1,'=2,'\t3,,,,,\"'\r4\",,'-j,'-png,'@1\r\n/abs/=a.stl,b-.bmp,,,,,,"
        ",,,,,'-png,'@1\r\n");
}

}  // namespace
