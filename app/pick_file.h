#pragma once

#include <cstddef>
#include <string>

#include "app/file_chooser.h"
#include "platform/status.h"

// What one showing of a chooser gave the Load or Save command.
struct Picked_File {
    const char* name = nullptr;   // the chooser's; nullptr when none was picked
    bool failed = false;          // the chooser failed; error says why
    const char* error = nullptr;  // the chooser's errmsg()
};

// Shows chooser and says on the console what came of it: "ERROR: ..." when
// it failed, "*** CANCEL" when it was cancelled. A pick without a name is a
// cancel too, though the console is not told.
Picked_File pick_file(File_Chooser& chooser);

// "(300 bytes, at most 259)": a name's length against the longest taken.
std::string name_length_note(std::size_t length);

// picked, copied into name (room for kMaxNameBytes and its end) in the form
// the file functions take. A name that does not fit is refused, never cut.
Status take_name(const char* picked, char* name);
