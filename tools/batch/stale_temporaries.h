#pragma once

#include <cstddef>
#include <vector>

#include "tools/batch/jobs.h"
#include "tools/batch/options.h"

// Clears every folder the run writes its images to (-o, or else each input
// folder and the folder of each model's output) of the temporaries that
// ended runs of this host left there (platform/temporaries.h), and
// returns how many went. Folders that do not exist are passed over.
std::size_t remove_stale_temporaries_of_run(const Options& options, const std::vector<Job>& jobs);
