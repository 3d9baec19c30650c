// walk_folder over symbolic links: what each mode finds and names.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/batch/folder_walk.h"

namespace {

using Lines = std::vector<std::string>;

// in/ holds a scan, a link to a scan, a linked folder (holding a link to a
// missing scan) and a second link to it, links to missing files (a scan's
// name, a plain one, an Emacs lock), a link to itself, a link to sub/ named
// before it, a pipe named as a scan and a link to it, and sub/ with a scan
// and a link back up.
class Folder_Walk : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"in", "in/sub", "station2"})
            ASSERT_EQ(mkdir(dir_.file(folder).c_str(), 0755), 0);
        for (const char* scan : {"in/a.stl", "in/sub/b.stl", "station2/s.stl"})
            std::ofstream(dir_.file(scan)) << "solid";
        const char* links[][2] = {{"../station2/s.stl", "in/linked.stl"},
                                  {"../station2", "in/station2"},
                                  {"station2", "in/twice"},
                                  {"missing.stl", "station2/old.stl"},
                                  {"missing.stl", "in/dangling.stl"},
                                  {"nowhere", "in/plain"},
                                  {"user@host.1", "in/.#a.stl"},
                                  {"self", "in/self"},
                                  {"sub", "in/alias"},
                                  {"..", "in/sub/up"},
                                  {"pipe.stl", "in/piped.stl"}};
        ASSERT_EQ(mkfifo(dir_.file("in/pipe.stl").c_str(), 0644), 0);
        for (const auto& link : links)
            ASSERT_EQ(symlink(link[0], dir_.file(link[1]).c_str()), 0) << link[1];
    }

    // What a walk of in/ found and named, with the test's folder left out.
    std::pair<Lines, Lines> walk(bool recursive, bool follow_links) {
        Lines found, notes;
        const std::error_code ec = walk_folder(
            dir_.file("in"), {recursive, follow_links},
            [&](const std::string& path, Walk_Find what) {
                found.push_back((what == Walk_Find::Folder ? "folder " : "scan ") + path);
            },
            notes);
        EXPECT_FALSE(ec) << ec.message();
        for (Lines* lines : {&found, &notes})
            for (std::string& line : *lines)
                for (std::size_t at; (at = line.find(dir_.path() + "/")) != std::string::npos;)
                    line.erase(at, dir_.path().size() + 1);
        return {found, notes};
    }

    Temp_Dir dir_;
};

TEST_F(Folder_Walk, LinkedFoldersAreNamedOrWithLFollowedOnce) {
    const Lines missing = {"in/dangling.stl is a link to a missing file; skipped"};
    const std::string pipe = "in/pipe.stl is not a regular file; skipped",
                      piped = "in/piped.stl is not a regular file; skipped";
    EXPECT_EQ(walk(false, false), std::make_pair(Lines{"scan in/a.stl", "scan in/linked.stl"},
                                                 Lines{missing[0], pipe, piped}))
        << "without -r only a scan's name matters";

    const Lines real = {"scan in/a.stl", "scan in/linked.stl", "folder in/sub",
                        "scan in/sub/b.stl"};
    EXPECT_EQ(walk(true, false),
              std::make_pair(real, Lines{"in/alias is a link; -L follows links", missing[0], pipe,
                                         piped, "in/plain is a link to a missing file; skipped",
                                         "in/self is a link loop; skipped",
                                         "in/station2 is a link; -L follows links",
                                         "in/sub/up is a link; -L follows links",
                                         "in/twice is a link; -L follows links"}));

    Lines followed = real;
    followed.insert(followed.end(), {"folder in/station2", "scan in/station2/s.stl"});
    EXPECT_EQ(
        walk(true, true),
        std::make_pair(followed, Lines{missing[0], pipe, piped,
                                       "in/plain is a link to a missing file; skipped",
                                       "in/self is a link loop; skipped",
                                       "in/station2/old.stl is a link to a missing file; skipped",
                                       "in/sub/up leads back to in; not followed"}))
        << "sub/ keeps its own path, station2/ is walked once";
}

}  // namespace
