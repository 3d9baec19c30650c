// The --report CSV's text: quoting and the guard against formulas.
#include <gtest/gtest.h>

#include "tools/batch/report.h"

namespace {

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
