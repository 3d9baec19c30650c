#include "view/file_drop.h"

#include <FL/Fl.H>

#include <cstdio>
#include <string>

#include "platform/uri_list.h"
#include "view/operator_notice.h"

namespace {
File_Drop_Hook drop_hook = nullptr;
}

void set_file_drop_hook(File_Drop_Hook hook) { drop_hook = hook; }

int file_drop_event(int event, const char* text, int length) {
    if (drop_hook == nullptr) return 0;
    switch (event) {
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_LEAVE:
    case FL_DND_RELEASE: return 1;
    case FL_PASTE: break;
    default: return 0;
    }
    const std::string dropped = text != nullptr && length > 0 ? std::string(text, length) : "";
    const std::optional<std::string> path = platform::first_stl_in_uri_list(dropped);
    if (!path) {
        std::fprintf(stderr, "drop ignored: no local .stl file among the dropped names\n");
        std::fflush(stderr);
        notify_operator(Notice_Tone::Warning,
                        "Drop ignored: none of the dropped files is a local .stl file.");
        return 1;
    }
    drop_hook(path->c_str());
    return 1;
}
