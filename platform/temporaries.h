#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

// The names of the safe writer's temporary files (platform/atomic_write.h)
// and the clearing of those a process left when it ended without removing
// them (SIGKILL, a power cut). A name tells the host and the process that
// wrote it, so that a folder shared between machines is cleared only of
// this host's leftovers.

// This host's name as temporaries carry it: gethostname with every byte
// other than A-Z, a-z, 0-9, '.' and '-' turned into '_'.
const std::string& host_name_for_files();

// folder + "/.veltrim-HOST-PID-N.tmp": the n-th temporary of process pid.
std::string temporary_name(const std::string& folder, pid_t pid, unsigned n);

// Removes from folder (not its subfolders) the temporaries named for this
// host whose process has ended, and returns how many went. Those of other
// hosts and of live processes stay; so do the older ".veltrim-PID-N.tmp"
// names, which do not tell their host. A folder that cannot be read, or a
// file that cannot be removed, is left as it is: clearing is housekeeping,
// never a reason for a run to fail.
std::size_t remove_stale_temporaries(const std::string& folder);
