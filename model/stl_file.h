#pragma once

#include <vector>

#include "model/stl_report.h"
#include "model/triangle.h"
#include "platform/file_activity.h"
#include "platform/status.h"

// Reads the STL file at path in large blocks, appending its facets to
// triangles and setting bounds to their first-vertex bounds; `report`
// says what was read. Fails only when the file cannot be opened, with the
// reason why ("No such file or directory"): folders, devices and pipes are
// refused too ("not a regular file"), as they have no end to trust. A read
// error later keeps what came before and is told in report.read_error.
Status read_stl_file(const char* path, std::vector<Triangle>& triangles, Model_Bounds& bounds,
                     Stl_Report& report);

// The same for a file already open, read from its start whatever its
// offset, under the lease the caller took on fd: the report tells the
// content's digest and whether the file was being written.
Status read_stl_descriptor(int fd, const Read_Lease& lease, std::vector<Triangle>& triangles,
                           Model_Bounds& bounds, Stl_Report& report);
