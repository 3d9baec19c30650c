#include "tools/batch/candidates.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/content_digest.h"
#include "platform/file_names.h"

namespace {

// The scan's digest with the stamp it had throughout the reading; nothing
// when it changed meanwhile or cannot be read.
std::optional<Content_Digest> digest_while_still(const std::string& path, File_Stamp& stamp) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat before, after;
    std::optional<Content_Digest> d;
    if (fstat(fd, &before) == 0 && S_ISREG(before.st_mode)) d = digest_of_descriptor(fd);
    if (d && (fstat(fd, &after) != 0 || File_Stamp::of(after) != File_Stamp::of(before))) d.reset();
    if (d) stamp = File_Stamp::of(after);
    close(fd);
    return d;
}

}  // namespace

Job_Judgement judge_job(const Job& job, const Options& options, Record_Keeper& records,
                        std::int64_t now) {
    Job_Judgement j;
    struct stat scan_st, image_st;
    if (stat(job.input.c_str(), &scan_st) != 0 || !S_ISREG(scan_st.st_mode)) {
        // The conversion says what is wrong with it.
        j.verdict = {Freshness::Convert, "", false};
        return j;
    }
    j.scan = File_Stamp::of(scan_st);
    j.needs_settle = geteuid() != 0 && scan_st.st_uid != geteuid();
    Image_Facts image;
    image.exists = stat(job.output.c_str(), &image_st) == 0;
    if (image.exists) {
        image.mtime_ns = j.image_mtime_ns = nanoseconds(image_st.st_mtim);
        image.record = records.record_of(job.output);
    }
    Scan_Facts scan{platform::resolved_path(job.input), *j.scan};
    std::optional<Content_Digest> read_now;
    File_Stamp read_stamp = *j.scan;
    const std::string options_text = pixel_options_text(options);
    j.verdict = judge_freshness(image, scan, options_text, options.overwrite, now, [&] {
        read_now = digest_while_still(job.input, read_stamp);
        return read_now;
    });
    if (read_now)
        j.digest = read_now->hex();
    else if (j.verdict.action == Freshness::Skip && image.record)
        j.digest = image.record->digest.hex();
    if (j.verdict.action == Freshness::Renew && read_now)
        records.renew(
            job.output,
            Source_Record{
                *read_now, scan.path, read_stamp, now, options_text, kConversionVersion, {}});
    return j;
}

void Clock_Skew::look_at(const std::string& path, std::int64_t mtime_ns) {
    const std::int64_t ahead = mtime_ns - now_ns_;
    if (ahead <= kClockSkewNs) return;
    Count& c = folders_[platform::folder_of(path)];
    ++c.files;
    c.most_ahead_ns = std::max(c.most_ahead_ns, ahead);
}

void Clock_Skew::say() {
    for (auto& [folder, c] : folders_) {
        if (c.said) continue;
        c.said = true;
        std::fprintf(stderr,
                     "%s: clock skew detected: %zu file%s dated up to %.0f s in the future; "
                     "their times decide nothing\n",
                     folder.c_str(), c.files, c.files == 1 ? "" : "s",
                     static_cast<double>(c.most_ahead_ns) / 1e9);
    }
}
