// veltrim-batch against the limits of the machine it runs on: a file size
// limit, temporaries left by runs that were killed, an output folder that
// cannot be made. Each fails the files it touches, with a reason, and the
// run goes on to its summary and report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "platform/temporaries.h"
#include "tools/batch/report.h"

namespace {

using Names = std::vector<std::string>;
using Batch_Limits = Batch_Test;

// The report's line for a model that was not converted.
std::string failed_row(const std::string& input, const std::string& output,
                       const std::string& why) {
    return input + "," + output + ",failed,,,,,,," + csv_field(why) + ",,,bmp,1\r\n";
}

// ulimit -f between the report's size and an image's (55,078 bytes).
TEST_F(Batch_Limits, AFileSizeLimitFailsEachImageAndTheRunGoesOn) {
    make_dirs({"in", "out"});
    put(dir_.file("in/a.stl"), insole_bytes(2000, 1));
    put(dir_.file("in/b.stl"), insole_bytes(2000, 2));
    const std::string csv = dir_.file("report.csv");
    const Batch_Run r = run_batch(
        {"-j", "1", "--report", csv, "-o", dir_.file("out"), dir_.file("in")}, nullptr, 60, 20000);
    EXPECT_EQ(r.status, 1) << r.err;
    for (const char* name : {"a", "b"})
        EXPECT_EQ(r.lines_with(std::string(name) + ".stl: cannot write \"" + dir_.file("out/") +
                               name + ".bmp\": File too large"),
                  1)
            << r.err;
    EXPECT_EQ(r.lines_with("converted 0, skipped 0, failed 2 in "), 1) << r.err;
    EXPECT_EQ(files_in(dir_.file("out")), Names{}) << "no image, no temporary";
    const std::string report = slurp(csv);
    EXPECT_EQ(count_lines_with(report, ",failed,"), 2) << report;
    EXPECT_EQ(count_lines_with(report, "File too large"), 2) << report;
}

TEST_F(Batch_Limits, ARunClearsItsFoldersOfTemporariesLeftByEndedRuns) {
    make_dirs({"out"});
    const pid_t ended = fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) _exit(0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);  // reaped: no process has its id now
    const std::string left = temporary_name(dir_.file("out"), ended, 0),
                      live = temporary_name(dir_.file("out"), getpid(), 0);
    put(left, "an image half written when its run was killed");
    put(live, "an image this process is writing");
    put(dir_.file("m.stl"), insole_bytes(2000, 1));
    const Batch_Run r = run_batch({"-o", dir_.file("out"), dir_.file("m.stl")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines_with("veltrim-batch: removed 1 temporary file left by ended runs"), 1)
        << r.err;
    EXPECT_FALSE(exists(left));
    EXPECT_TRUE(exists(live));
    EXPECT_TRUE(exists(dir_.file("out/m.bmp")));
}

// -o under a file: every model gets its row and the run its summary.
TEST_F(Batch_Limits, AnOutputFolderThatCannotBeMadeFailsEveryModel) {
    put(dir_.file("file"), "not a folder");
    put(dir_.file("a.stl"), insole_bytes(2000, 1));
    put(dir_.file("b.stl"), insole_bytes(2000, 2));
    const std::string out = dir_.file("file/out"), csv = dir_.file("report.csv");
    const Batch_Run r =
        run_batch({"--report", csv, "-o", out, dir_.file("a.stl"), dir_.file("b.stl")});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string why = "cannot create the output folder \"" + out + "\": Not a directory";
    EXPECT_EQ(r.lines_with("veltrim-batch: " + why), 1) << r.err;
    for (const char* name : {"a", "b"})
        EXPECT_EQ(r.lines_with(dir_.file(name) + ".stl: " + why), 1) << r.err;
    EXPECT_EQ(r.lines_with("converted 0, skipped 0, failed 2 in "), 1) << r.err;
    const std::string report = slurp(csv);
    EXPECT_NE(report.find(failed_row(dir_.file("a.stl"), out + "/a.bmp", why) +
                          failed_row(dir_.file("b.stl"), out + "/b.bmp", why)),
              std::string::npos)
        << report;
}

}  // namespace
