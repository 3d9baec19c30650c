#pragma once

#include <string>

// The one owner of the stop signals: SIGINT, SIGTERM and SIGHUP (a closed
// terminal or ssh session). Nothing else in the programs installs a handler
// for them.
//
// By default a stop signal ends the process at once, as the default action
// would, after removing every temporary file named by a live
// Pending_Temporary. A program that winds down in good order calls
// finish_work_on_stop(): its first stop signal is then only recorded
// (stop_signal()), the files in hand finish, and any second stop signal
// ends the process at once as above. A signal that was ignored when the
// handlers went in (nohup) stays ignored.
//
// SIGXFSZ is ignored from the first use of anything here (every temporary
// is a Pending_Temporary): a write past the file size limit fails with
// EFBIG ("File too large") instead of ending the process silently.

// Switches to "the first stop signal asks, the second ends".
void finish_work_on_stop();

// The first stop signal received after finish_work_on_stop(); 0 while none.
int stop_signal();

// Waits `seconds`, or less when a stop signal comes first: then false.
bool wait_unless_stopped(double seconds);

// The stop signals that reach the handler, as "SIGINT, SIGTERM or SIGHUP"
// (empty when all three are ignored), for a line that tells how to stop.
std::string stopping_signals();

// Ends the process as the recorded stop signal would have, if one came.
void end_as_stopped();

// A temporary file being written, named here for as long as this object
// lives. Register the name before the file is created and drop the object
// only once the file is renamed or removed, so no moment is left uncovered.
class Pending_Temporary {
public:
    explicit Pending_Temporary(const std::string& name);
    ~Pending_Temporary();
    Pending_Temporary(const Pending_Temporary&) = delete;
    Pending_Temporary& operator=(const Pending_Temporary&) = delete;

    // False when the name is too long to keep (no file can have it either).
    bool registered() const { return slot_ >= 0; }

private:
    int slot_ = -1;
};
