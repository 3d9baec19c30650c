// What the window's status line says of a load, from the reader's report alone.
#include <gtest/gtest.h>

#include <string>

#include "app/load_notice.h"

namespace {

const std::string kKeys = " Keys x, y, z turn it a quarter turn; with Shift, back.";

TEST(LoadNotice, WordsAndToneOfEachOutcome) {
    const Status ok = Status::ok(), no_model = Status::failed("not an STL model: it is empty");
    Stl_Report sound, ascii, busy, damaged;
    ascii.form = damaged.form = Stl_Form::Ascii;
    busy.writer = Lease_State::Busy;
    damaged.ends_inside_facet = true;
    damaged.unreadable_facets = 2;
    damaged.read_error = "Input/output error";
    damaged.overlong_words = 1;
    damaged.non_finite_facets = 4;
    const struct {
        Status opened, kind;
        const Stl_Report& report;
        std::size_t facets;
        std::string says;
        Notice_Tone tone;
    } cases[] = {
        {Status::failed("No such file or directory"), ok, sound, 0,
         "ERROR: could not open a.stl: No such file or directory", Notice_Tone::Error},
        {ok, no_model, sound, 6, "ERROR: a.stl is not an STL model: it is empty",
         Notice_Tone::Error},
        {ok, ok, busy, 10,
         "WARNING: a.stl is still being written: another process has it open for writing; 10 "
         "facets read so far. Load it again once it is finished.",
         Notice_Tone::Warning},
        {ok, ok, ascii, 0, "WARNING: a.stl holds no readable model (0 facets read as ASCII STL).",
         Notice_Tone::Warning},
        {ok, ok, sound, 12, "Loaded a.stl: 12 facets, binary STL." + kKeys, Notice_Tone::Info},
        // The damage lines on one line, ";" between them; the read error names the file alone.
        {ok, ok, damaged, 5,
         "WARNING: Loaded a.stl: 5 facets, ASCII STL. read error in \"a.stl\": " +
             damaged.read_error +
             ";STL file is cut: it ends inside a facet; that facet was left out;2 facets with "
             "numbers that cannot be read were left out;1 words longer than 499 characters were "
             "skipped;4 facets with coordinates that are not finite are not drawn." +
             kKeys,
         Notice_Tone::Warning},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(load_notice("models/a.stl", c.opened, c.kind, c.report, c.facets), c.says);
        if (c.opened) {
            EXPECT_EQ(load_tone(c.kind, c.report, c.facets), c.tone) << c.says;
        }
    }
}

}  // namespace
