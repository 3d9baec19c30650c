#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "model/stl_check.h"
#include "model/stl_lines.h"
#include "support/stl_bytes.h"
#include "support/stl_parse.h"
#include "support/temp_dir.h"

namespace {

using stl_bytes::tri;

const std::vector<Triangle> kFacets = {tri(1, 2, 3, 4, 5, 6, 7, 8, 9),
                                       tri(-1, 0, 2, 3, 3, 3, 0, 0, 1)};

// check_kind on the head of `bytes`, as the callers read it.
Status kind_of(const std::string& bytes) {
    const auto* head = reinterpret_cast<const unsigned char*>(bytes.data());
    return stl_check::check_kind(head, std::min(bytes.size(), stl_check::kSniffSize), bytes.size());
}

Status before_reading(const std::string& bytes) {
    const auto* head = reinterpret_cast<const unsigned char*>(bytes.data());
    return stl_check::check_before_reading(head, std::min(bytes.size(), stl_check::kSniffSize),
                                           bytes.size());
}

const char kOnlySolid[] = "; only a file starting with 'solid' is read as ASCII";

// Text that the reader takes as binary: a README renamed, and ASCII STL
// that does not start with exactly "solid", each told apart.
TEST(StlKind, TextReadAsBinaryIsNoModelAndSaysWhy) {
    const std::string readme =
        "# Veltrim\r\n\tHeight maps from insole scans. Caf\xc3\xa9 notes follow.\n" +
        std::string(600, '-') + std::string(1, '\0');  // a byte past the head is not looked at
    const std::string ascii = stl_bytes::ascii(kFacets);
    const std::pair<std::string, std::string> cases[] = {
        {readme, "it is text that does not start with 'solid', as an ASCII STL does"},
        {"see the manual\n", "it is text that does not start with 'solid', as an ASCII STL does"},
        {"\xEF\xBB\xBF" + ascii, std::string("it starts with a byte-order mark") + kOnlySolid},
        {"\xEF\xBB\xBF  " + ascii, std::string("it starts with a byte-order mark") + kOnlySolid},
        {"  " + ascii, std::string("it starts with blanks") + kOnlySolid},
        {"\r\n\t" + ascii, std::string("it starts with blanks") + kOnlySolid},
        {"SOLID" + ascii.substr(5),
         std::string("it starts with upper-case \"SOLID\"") + kOnlySolid},
        {"Solid" + ascii.substr(5),
         std::string("it starts with upper-case \"Solid\"") + kOnlySolid},
    };
    for (const auto& [bytes, why] : cases) {
        ASSERT_EQ(parse(bytes).form, Stl_Form::Binary) << "the reader's view: " << bytes;
        const Status s = kind_of(bytes);
        EXPECT_FALSE(s) << bytes.substr(0, 40);
        EXPECT_EQ(s.reason(), "not an STL model: " + why);
        EXPECT_EQ(before_reading(bytes).reason(), s.reason());
    }
}

// A binary head is never all text: its count bytes are not, whatever the
// 80-byte header says.
TEST(StlKind, SoundFilesAreModels) {
    std::string header = "binary STL by exporter";
    header.resize(80, ' ');
    const std::string blank_header = stl_bytes::binary(kFacets, header.c_str());
    const std::string sound[] = {blank_header, stl_bytes::binary(kFacets, "SOLID by exporter"),
                                 stl_bytes::ascii(kFacets), "solid"};
    for (const std::string& bytes : sound) {
        EXPECT_TRUE(kind_of(bytes)) << kind_of(bytes).reason();
        EXPECT_TRUE(before_reading(bytes)) << before_reading(bytes).reason();
    }
    EXPECT_TRUE(parse(blank_header).report.sound());
}

TEST(StlKind, BinarySizeAndCountRules) {
    const std::string good = stl_bytes::binary(kFacets);
    const std::string no_text(83, '\x01');
    const std::pair<std::string, std::string> cases[] = {
        {"", "it is empty"},
        {no_text, "83 bytes, shorter than the 84-byte header of a binary STL"},
        {good + "x", "185 bytes, but a binary STL of 2 facets has 184"},
        {stl_bytes::binary({}) + std::string(50, '\0'),
         "134 bytes, but a binary STL of 0 facets has 84"},
        {stl_bytes::binary(kFacets, "", stl_check::kMaxFacets + 1LL),
         "its binary header declares 10000001 facets, more than the 10000000 of any scan"},
        {stl_bytes::binary(kFacets, "", 1LL << 31),
         "its binary header declares 2147483648 facets, more than the 10000000 of any scan"},
    };
    for (const auto& [bytes, why] : cases)
        EXPECT_EQ(kind_of(bytes).reason(), "not an STL model: " + why) << bytes.size();
    // The bound itself is allowed, cut or not.
    EXPECT_TRUE(kind_of(stl_bytes::binary(kFacets, "", stl_check::kMaxFacets)));
    // No facets is a model's fault, not a question of kind.
    const std::string zero = stl_bytes::binary({});
    EXPECT_TRUE(kind_of(zero));
    EXPECT_EQ(before_reading(zero).reason(), "no facets: the binary STL declares 0");
}

// The reader has run: no facets is a failure, worded by what the head says.
TEST(StlKind, NoFacetsAfterReadingSaysWhy) {
    const auto after = [](const std::string& bytes) {
        const auto* head = reinterpret_cast<const unsigned char*>(bytes.data());
        return stl_check::check_after_reading(head, std::min(bytes.size(), stl_check::kSniffSize),
                                              bytes.size(), parse(bytes).triangles.size());
    };
    const std::string binary = stl_bytes::binary(kFacets);
    const std::pair<std::string, std::string> cases[] = {
        {binary.substr(0, 100), "no facets"},
        {"solid x\nendsolid x\n", "no facets: an ASCII STL without a readable facet"},
        {stl_bytes::binary(kFacets, "solid by some exporter"),
         "no facets: it begins with \"solid\", so it is read as ASCII, but it holds binary "
         "facets"},
        // 84 + 50 x 2^31 wraps to 84 in 32 bits: still not this file's size.
        {stl_bytes::binary({}, "solid x", 1LL << 31),
         "no facets: an ASCII STL without a readable facet"},
    };
    for (const auto& [bytes, why] : cases) EXPECT_EQ(after(bytes).reason(), why) << bytes.size();
    EXPECT_TRUE(after(binary.substr(0, 150)));
}

// Cut files are models: the facets read are kept and the damage lines say
// the file is cut, one line each.
TEST(StlCut, CutFilesAreModelsWithOneCutLine) {
    const std::string binary = stl_bytes::binary(kFacets);
    const std::string ascii = stl_bytes::ascii(kFacets);
    const std::string no_end = ascii.substr(0, ascii.find("endsolid"));
    const std::string in_facet = ascii.substr(0, ascii.rfind("vertex"));
    const struct {
        std::string bytes;
        std::size_t facets;
        const char* line;
    } cases[] = {
        {binary.substr(0, binary.size() - 1), 1,
         "STL file is cut: it ends after 1 of 2 facets; the facets read are kept"},
        {no_end, 2, "STL file is cut: it ends without \"endsolid\""},
        {no_end + "endsol", 2, "STL file is cut: it ends without \"endsolid\""},
        {in_facet, 1, "STL file is cut: it ends inside a facet; that facet was left out"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(before_reading(c.bytes)) << before_reading(c.bytes).reason();
        for (std::size_t block : {std::size_t(1) << 20, std::size_t(1), std::size_t(7)}) {
            const Parsed p = parse(c.bytes, block);
            EXPECT_EQ(p.triangles.size(), c.facets) << c.line;
            EXPECT_TRUE(stl_check::is_cut(p.report)) << c.line;
            EXPECT_FALSE(p.report.sound()) << c.line;
            EXPECT_EQ(stl_damage_lines(p.report, "x.stl"), std::vector<std::string>{c.line})
                << block;
        }
    }
    // "endsolid" read anywhere, the last word of the file too, is the end.
    for (const std::string& bytes : {ascii, no_end + "endsolid", no_end + "endsolid\n"}) {
        for (std::size_t block : {std::size_t(1) << 20, std::size_t(1), std::size_t(3)}) {
            const Parsed p = parse(bytes, block);
            EXPECT_FALSE(stl_check::is_cut(p.report)) << bytes;
            EXPECT_TRUE(p.report.sound());
            EXPECT_TRUE(stl_damage_lines(p.report, "x.stl").empty());
        }
    }
    // Other damage is not a cut.
    const Parsed unreadable = parse("solid s vertex 1 2 x v 4 5 6 v 7 8 9 endsolid\n");
    EXPECT_EQ(unreadable.report.unreadable_facets, 1u);
    EXPECT_FALSE(stl_check::is_cut(unreadable.report));
}

// The head and size as the callers pass them to check_kind; what is no
// regular file is refused without waiting for a writer.
TEST(StlHead, ReadUpToTheSniffSizeFromRegularFilesOnly) {
    Temp_Dir dir;
    const std::string bytes = stl_bytes::binary(kFacets) + std::string(500, 'x');
    std::ofstream(dir.file("m.stl"), std::ios::binary) << bytes;
    ASSERT_EQ(mkfifo(dir.file("fifo.stl").c_str(), 0644), 0);
    stl_check::File_Head head;
    ASSERT_TRUE(stl_check::read_file_head(dir.file("m.stl").c_str(), head));
    EXPECT_EQ(head.size, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(head.bytes), head.len),
              bytes.substr(0, stl_check::kSniffSize));
    alarm(5);  // a FIFO opened to read waits for a writer: fail, never hang
    EXPECT_EQ(stl_check::read_file_head(dir.file("fifo.stl").c_str(), head).reason(),
              "cannot open: not a regular file");
    alarm(0);
    EXPECT_EQ(stl_check::read_file_head(dir.file("none.stl").c_str(), head).reason(),
              "cannot open: No such file or directory");
}

}  // namespace
