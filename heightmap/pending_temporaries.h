#pragma once

#include <string>

// A temporary file being written, named here for as long as this object
// lives. SIGINT, SIGTERM and SIGHUP take their earlier course: where that
// is a handler the process goes on and the write finishes; where it is the
// default action (also the one SA_RESETHAND puts back after one signal),
// the handler removes the file before the process ends. Register the name
// before the file is created and drop the object only once the file is
// renamed or removed, so no moment is left uncovered.
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
