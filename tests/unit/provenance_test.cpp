// An image's record of its scan: the text both homes hold, and the rule
// that decides from it whether the image is up to date.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/content_digest.h"
#include "support/temp_dir.h"
#include "tools/batch/freshness.h"
#include "tools/batch/record_keeper.h"
#include "tools/batch/source_record.h"

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;

Source_Record sample_record() {
    Source_Record r;
    r.digest = {0x0123456789abcdefULL, 0xfedcba9876543210ULL};
    r.path = "/scans/station 2/100%\nleft.stl";
    r.stamp = {2049, 77, 5184, 1700000000 * kSecond + 5, 1700000001 * kSecond};
    r.recorded_ns = 1700000100 * kSecond;
    r.options = "rotate=x:-90,z:30";
    r.image = {2049, 99, 55078, 1700000100 * kSecond, 1700000100 * kSecond};
    return r;
}

// Every field is in the text, so equal texts are equal records.
bool same(const Source_Record& a, const Source_Record& b) {
    return record_text(a) == record_text(b);
}

TEST(SourceRecord, ReadsBackWhatItWroteAndRefusesAnythingElse) {
    const Source_Record r = sample_record();
    const std::string text = record_text(r);
    ASSERT_TRUE(parse_record(text));
    EXPECT_TRUE(same(*parse_record(text), r));
    EXPECT_EQ(text.find("%0A"),
              text.find("path ") + std::string("path /scans/station 2/100%25").size())
        << "a line feed in a path is escaped, so the record stays one field a line";
    // Whatever is not a whole record is none: an image is then judged by time.
    const std::string cut = text.substr(0, text.size() - 5);
    std::string bad_digest = text;
    bad_digest.replace(bad_digest.find("xxh3-128:") + 9, 1, "x");
    std::string doubled = text + "options rotate=\n";
    for (const std::string& wrong : {std::string(), cut, bad_digest, doubled,
                                     "veltrim source record 2\n" + text.substr(text.find('\n') + 1),
                                     text.substr(0, text.find("conversion"))})
        EXPECT_FALSE(parse_record(wrong)) << wrong;
}

TEST(SourceRecord, DigestsAgreeHoweverTheBytesArrive) {
    Temp_Dir d;
    std::string bytes;
    for (int i = 0; i < 3'000'000; ++i) bytes += static_cast<char>(i * 7 % 251);
    std::ofstream(d.file("scan.stl"), std::ios::binary) << bytes;
    Digest_Stream pieces;
    for (std::size_t at = 0; at < bytes.size(); at += 65537)
        pieces.add(bytes.data() + at, std::min<std::size_t>(65537, bytes.size() - at));
    const int fd = open(d.file("scan.stl").c_str(), O_RDONLY);
    const std::optional<Content_Digest> whole = digest_of_descriptor(fd);
    close(fd);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, pieces.digest());
    EXPECT_EQ(Content_Digest::from_hex(whole->hex()), whole);
    bytes[1'500'000] ^= 1;
    Digest_Stream changed;
    changed.add(bytes.data(), bytes.size());
    EXPECT_NE(changed.digest(), *whole) << "one bit changes the digest";
    EXPECT_FALSE(Content_Digest::from_hex("0123"));
}

// The fall-back home: a record file in the image's folder, believed only
// while the image is the one it describes.
TEST(SourceRecord, RecordFilesKeepRecordsOfTheImagesAsWritten) {
    Temp_Dir d;
    const std::string image = d.file("left.bmp");
    std::ofstream(image) << "pixels";
    struct stat st;
    ASSERT_EQ(stat(image.c_str(), &st), 0);
    Source_Record r = sample_record();
    r.image = File_Stamp::of(st);
    {
        Record_Keeper keeper;
        keeper.written(image, r, false);
        EXPECT_TRUE(keeper.used_record_files());
        EXPECT_TRUE(Record_Keeper().record_of(image)) << "on disk before the run ends";
        ASSERT_TRUE(keeper.flush(true));
    }
    EXPECT_EQ(parse_record_file(record_file_text({{"left.bmp", r}})).size(), 1u);
    Record_Keeper later;  // another run reads it back
    ASSERT_TRUE(later.record_of(image));
    EXPECT_TRUE(same(*later.record_of(image), r));
    std::ofstream(image, std::ios::app) << " and more, written by hand";
    Record_Keeper after_edit;
    EXPECT_FALSE(after_edit.record_of(image)) << "the image is no longer the one recorded";
}

// The rule, case by case. digest_now counts its calls: the stamps alone
// must settle a scan that has not changed since a record that is not racy.
class Freshness_Rule : public ::testing::Test {
protected:
    Freshness_Verdict judge(bool overwrite = false, const std::string& options = "rotate=") {
        calls_ = 0;
        return judge_freshness(image_, scan_, options, overwrite, now_, [this] {
            ++calls_;
            return digest_now_;
        });
    }

    Source_Record record_ = sample_record();
    Image_Facts image_{true, record_.image.mtime_ns, record_};
    Scan_Facts scan_{record_.path, record_.stamp};
    std::optional<Content_Digest> digest_now_ = record_.digest;
    std::int64_t now_ = record_.recorded_ns + 3600 * kSecond;
    int calls_ = 0;
};

TEST_F(Freshness_Rule, TheSameScanWithTheSameOptionsIsUpToDateWithoutReadingIt) {
    record_.options = "rotate=";
    image_.record = record_;
    EXPECT_EQ(judge().action, Freshness::Skip);
    EXPECT_EQ(calls_, 0);
    EXPECT_EQ(judge(true).action, Freshness::Convert) << "--overwrite";
    EXPECT_EQ(judge(false, "rotate=x:-90").action, Freshness::Convert)
        << "a changed --rotate makes the image out of date";
    image_.record->conversion = kConversionVersion + 1;
    EXPECT_EQ(judge().action, Freshness::Convert) << "another conversion's pixels";
}

TEST_F(Freshness_Rule, StampsThatMoveSendTheScanToItsDigest) {
    record_.options = "rotate=";
    // Changed in the same tick as the record: the stamps cannot be trusted.
    record_.recorded_ns = record_.stamp.ctime_ns + kRacyWindowNs / 2;
    image_.record = record_;
    EXPECT_EQ(judge().action, Freshness::Renew);
    EXPECT_EQ(calls_, 1);
    // New times, same bytes (touched, copied with cp -p): up to date.
    image_.record = sample_record();
    image_.record->options = "rotate=";
    scan_.stamp.mtime_ns += kSecond;
    EXPECT_EQ(judge().action, Freshness::Renew);
    // New bytes behind old times (replaced while its image was made): made again.
    digest_now_ = Content_Digest{1, 2};
    EXPECT_EQ(judge().action, Freshness::Convert);
    EXPECT_EQ(calls_, 1);
    digest_now_.reset();
    EXPECT_EQ(judge().action, Freshness::Convert) << "a scan that cannot be read is not skipped";
}

TEST_F(Freshness_Rule, AnotherScansImageIsAClashUnlessItsContentMoved) {
    record_.options = "rotate=";
    image_.record = record_;
    scan_.path = "/scans/station 1/left.stl";
    digest_now_ = Content_Digest{1, 2};
    const Freshness_Verdict clash = judge();
    EXPECT_EQ(clash.action, Freshness::Clash);
    EXPECT_NE(clash.reason.find(record_.path), std::string::npos) << "names the other scan";
    EXPECT_EQ(judge(true).action, Freshness::Convert) << "--overwrite replaces it";
    digest_now_ = record_.digest;  // a renamed folder, a share mounted elsewhere
    EXPECT_EQ(judge().action, Freshness::Renew);
}

TEST_F(Freshness_Rule, WithoutARecordTimesDecideUnlessTheyAreInTheFuture) {
    image_.record.reset();
    scan_.stamp.ctime_ns = scan_.stamp.mtime_ns;
    image_.mtime_ns = scan_.stamp.mtime_ns + kSecond;
    EXPECT_EQ(judge().action, Freshness::Skip);
    EXPECT_TRUE(judge().judged_by_time);
    scan_.stamp.ctime_ns = image_.mtime_ns + 1;  // copied in with its old time kept
    EXPECT_EQ(judge().action, Freshness::Convert);
    scan_.stamp.ctime_ns = scan_.stamp.mtime_ns;
    image_.mtime_ns = now_ + 2 * kClockSkewNs;  // a server clock ahead
    EXPECT_EQ(judge().action, Freshness::Convert);
    image_.exists = false;
    EXPECT_EQ(judge().reason, "no image yet");
}

}  // namespace
