#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "tools/batch/report.h"

struct Tally {
    std::size_t converted = 0, with_warnings = 0, skipped = 0, failed = 0;
};

// Each input's latest outcome, one report row per file: a watch that
// converts a file again replaces its row, so the report does not grow
// without end and a file that failed once but then converted counts as
// converted. Also who owns each output file, for refusing a second model
// whose image would replace another's.
class Outcomes {
public:
    // Keeps row as its input's latest outcome. A row that owns its output
    // (not a refused collision, not a folder) claims that file.
    void record(const Report_Row& row, bool owns_output);

    // The existing model other than input that already claims output's
    // file; empty when there is none.
    std::string claimant(const std::string& input, const std::string& output) const;

    // Whether input has an outcome already.
    bool known(const std::string& input) const;

    Tally tally() const;
    const std::vector<Report_Row>& rows() const { return rows_; }

private:
    std::vector<Report_Row> rows_;                   // in the order first seen
    std::map<std::string, std::size_t> row_of_;      // input identity -> its row
    std::map<std::string, std::string> claimed_by_;  // output identity -> input path
};

// "converted 3 (1 with warnings), skipped 0, failed 0": the counts of a run.
std::string tally_text(const Tally& tally);
