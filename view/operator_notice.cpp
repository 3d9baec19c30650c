#include "view/operator_notice.h"

namespace {
Notice_Hook notice_hook = nullptr;
}

void set_notice_hook(Notice_Hook hook) { notice_hook = hook; }

void notify_operator(Notice_Tone tone, const std::string& text) {
    if (notice_hook != nullptr) notice_hook(tone, text);
}
