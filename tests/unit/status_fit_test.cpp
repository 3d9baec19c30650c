// The status strip's fitting of a long message, with one unit a byte.
#include <gtest/gtest.h>

#include "app/status_fit.h"

namespace {

int bytes(const std::string& t) { return static_cast<int>(t.size()); }

TEST(Status_Fit, AMessageTooLongShowsItsFirstSentenceOrItsEnds) {
    const std::string saved = "Saved /srv/maps/left.bmp: highest point 3.2 units above the plate.";
    EXPECT_EQ(fitted_status(saved, 200, bytes), saved);
    const std::string two = "WARNING: a.bmp was not written. Saving b.bmp at the top view.";
    EXPECT_EQ(fitted_status(two, 60, bytes),
              "WARNING: a.bmp was not written. (more: hover or click)");

    const std::string path = "Saved /home/operator/scans/2026/december/station-two/left.bmp.";
    const std::string shown = fitted_status(path, 40, bytes);
    EXPECT_LE(bytes(shown), 40) << shown;
    EXPECT_EQ(shown.rfind("Saved /home", 0), 0u) << "keeps its start: " << shown;
    EXPECT_NE(shown.find("..."), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 5), ".bmp.") << "keeps its file name: " << shown;
}

TEST(Status_Fit, NoCharacterIsCutInHalf) {
    const std::string chinese = "上視上視上視上視上視上視上視上視上視上視上視上視";  // 3 bytes each
    for (int room = 5; room < bytes(chinese); ++room) {
        const std::string shown = fitted_status(chinese, room, bytes);
        ASSERT_LE(bytes(shown), room);
        const std::size_t dots = shown.find("...");
        ASSERT_NE(dots, std::string::npos) << room;
        EXPECT_EQ(dots % 3, 0u) << "a cut inside a character at room " << room << ": " << shown;
        EXPECT_EQ((shown.size() - dots - 3) % 3, 0u) << room << ": " << shown;
    }
}

}  // namespace
