#pragma once

#include <cstdint>
#include <optional>

#include "model/stl_check.h"

// Memory one conversion job may hold at once: the largest model accepted,
// read into facets and copied for the GL. Measured: a model of 2,000,000
// facets takes 336 MB above an idle run, 168 bytes a facet.
constexpr std::uint64_t kBytesPerFacet = 170;
constexpr std::uint64_t kBytesPerJob = stl_check::kMaxFacets * kBytesPerFacet;

// The memory this process may still take: the kernel's MemAvailable, or
// less where a control group's limit leaves less. Nothing when neither can
// be read.
std::optional<std::uint64_t> available_memory();

// The jobs that fit in `available` at `per_job` each: `asked` or fewer, at
// least one.
unsigned jobs_memory_allows(unsigned asked, std::uint64_t available, std::uint64_t per_job);
