#pragma once

#include <cstddef>
#include <string>

#include "model/stl_report.h"
#include "platform/status.h"
#include "view/operator_notice.h"

// The status line's words for a load: the file's name, its facet count and
// form and what the reader worked around, or why it could not be read or
// is no model (`kind`, from stl_check::check_kind, whatever facets the
// reader took from its bytes).
std::string load_notice(const char* path, const Status& opened, const Status& kind,
                        const Stl_Report& report, std::size_t facets);

// Whether that load needs the operator's attention: no model, damage, or
// no facets.
Notice_Tone load_tone(const Status& kind, const Stl_Report& report, std::size_t facets);
