#include "tools/batch/outcomes.h"

#include <filesystem>

#include "tools/batch/jobs.h"

void Outcomes::record(const Report_Row& row, bool owns_output) {
    const auto [at, added] = row_of_.emplace(identity_of(row.input), rows_.size());
    if (added)
        rows_.push_back(row);
    else
        rows_[at->second] = row;
    if (owns_output && !row.output.empty()) claimed_by_[identity_of(row.output)] = row.input;
}

std::string Outcomes::claimant(const std::string& input, const std::string& output) const {
    const auto claim = claimed_by_.find(identity_of(output));
    if (claim == claimed_by_.end() || identity_of(claim->second) == identity_of(input)) return "";
    // A model removed since gives up its claim.
    std::error_code ec;
    return std::filesystem::is_regular_file(claim->second, ec) ? claim->second : "";
}

bool Outcomes::known(const std::string& input) const {
    return row_of_.count(identity_of(input)) > 0;
}

Tally Outcomes::tally() const {
    Tally t;
    for (const Report_Row& r : rows_) {
        if (r.status == "converted") {
            ++t.converted;
            t.with_warnings += !r.message.empty();
        } else {
            ++(r.status == "skipped" ? t.skipped : t.failed);
        }
    }
    return t;
}

std::string tally_text(const Tally& t) {
    std::string text = "converted " + std::to_string(t.converted);
    if (t.with_warnings > 0) text += " (" + std::to_string(t.with_warnings) + " with warnings)";
    return text + ", skipped " + std::to_string(t.skipped) + ", failed " + std::to_string(t.failed);
}
