#include "tools/batch/freshness.h"

#include <algorithm>

namespace {

Freshness_Verdict verdict(Freshness action, std::string reason, bool by_time = false) {
    return {action, std::move(reason), by_time};
}

std::int64_t changed_ns(const File_Stamp& s) { return std::max(s.mtime_ns, s.ctime_ns); }

// A make-like judgement for an image made before records were kept: the
// scan's later time (a copy that kept its old time still has a new status
// change) against the image's. An image dated in the future proves nothing.
Freshness_Verdict by_time(const Image_Facts& image, const Scan_Facts& scan, std::int64_t now_ns) {
    if (image.mtime_ns > now_ns + kClockSkewNs)
        return verdict(Freshness::Convert, "no record: the image is dated in the future", true);
    if (changed_ns(scan.stamp) > image.mtime_ns)
        return verdict(Freshness::Convert, "no record: the image is older than the scan", true);
    return verdict(Freshness::Skip, "no record: the image is newer than the scan", true);
}

}  // namespace

Freshness_Verdict judge_freshness(
    const Image_Facts& image, const Scan_Facts& scan, const std::string& options, bool overwrite,
    std::int64_t now_ns, const std::function<std::optional<Content_Digest>()>& digest_now) {
    if (!image.exists) return verdict(Freshness::Convert, "no image yet");
    if (overwrite) return verdict(Freshness::Convert, kOverwriteReason);
    if (!image.record) return by_time(image, scan, now_ns);
    const Source_Record& r = *image.record;
    const bool racy = r.recorded_ns - changed_ns(r.stamp) < kRacyWindowNs;
    const bool unchanged = r.path == scan.path && r.stamp == scan.stamp && !racy;
    if (!unchanged) {
        const std::optional<Content_Digest> now = digest_now();
        if (!now) return verdict(Freshness::Convert, "the scan could not be read to compare");
        if (*now != r.digest) {
            if (r.path != scan.path)
                return verdict(Freshness::Clash, "its image was made from another scan, \"" +
                                                     r.path +
                                                     "\", with other content (--overwrite "
                                                     "replaces it)");
            return verdict(Freshness::Convert, "the scan changed since its image was made");
        }
    }
    if (r.options != options)
        return verdict(Freshness::Convert, "the image was made with other options: " + r.options);
    if (r.conversion != kConversionVersion)
        return verdict(Freshness::Convert, "the image was made by conversion " +
                                               std::to_string(r.conversion) + ", not " +
                                               std::to_string(kConversionVersion));
    if (unchanged) return verdict(Freshness::Skip, "same scan, same options");
    // The record is made again so that the stamps settle the next run.
    if (r.path != scan.path)
        return verdict(Freshness::Renew, "same content moved from \"" + r.path + "\"");
    if (r.stamp != scan.stamp) return verdict(Freshness::Renew, "same content; new times");
    return verdict(Freshness::Renew, "same scan, same options");
}
