#include "view/operator_notice.h"

namespace {
Notice_Hook notice_hook = nullptr;
Map_Written_Hook map_written_hook = nullptr;
}  // namespace

void set_notice_hook(Notice_Hook hook) { notice_hook = hook; }

void notify_operator(Notice_Tone tone, const std::string& text) {
    if (notice_hook != nullptr) notice_hook(tone, text);
}

void set_map_written_hook(Map_Written_Hook hook) { map_written_hook = hook; }

void notify_map_written(const std::string& path) {
    if (map_written_hook != nullptr) map_written_hook(path);
}
