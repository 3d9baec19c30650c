#pragma once

#include <vector>

#include "model/stl_report.h"
#include "model/triangle.h"
#include "tools/batch/conversion.h"
#include "tools/batch/jobs.h"

// A scan as a conversion reads it: through one descriptor, under one read
// lease held for the read alone, judged by model/stl_check.h.
struct Scan_Read {
    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Report report;
};

// Reads job's scan into scan and says in result what became of it (status,
// being_written, form, console, warnings, read, digest, facets). True when
// the model is read whole and is ready to draw. A scan no lease can watch
// must still have the stamp the settle wait saw (job.settled); without
// one, it is looked at twice settle_seconds apart here.
bool read_scan(const Job& job, double settle_seconds, Scan_Read& scan, Conversion& result);
