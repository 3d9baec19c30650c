#include "app/pick_file.h"

#include <cstdio>
#include <cstring>

#include "model/utf8_to_ansi.h"
#include "platform/name_limit.h"

Picked_File pick_file(File_Chooser& chooser) {
    Picked_File picked;
    switch (chooser.show()) {
    case File_Chooser::Failed:
        picked.failed = true;
        picked.error = chooser.errmsg();
        std::fprintf(stderr, "ERROR: %s\n", picked.error);
        break;
    case File_Chooser::Cancelled: std::fprintf(stderr, "*** CANCEL\n"); break;
    case File_Chooser::Picked: picked.name = chooser.filename(); break;
    }
    return picked;
}

std::string name_length_note(std::size_t length) {
    return "(" + std::to_string(length) + " bytes, at most " + std::to_string(kMaxNameBytes) + ")";
}

Status take_name(const char* picked, char* name) {
    const std::size_t length = std::strlen(picked);
    if (length > kMaxNameBytes)
        return Status::failed("file name too long " + name_length_note(length));
    std::memcpy(name, picked, length + 1);
    utf8_to_ansi(name);
    return Status::ok();
}
