#include "app/status_fit.h"

namespace {

// Cuts at a character boundary of UTF-8: never inside a multi-byte one.
std::size_t back_to_boundary(const std::string& text, std::size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

}  // namespace

std::string fitted_status(const std::string& text, int room,
                          const std::function<int(const std::string&)>& width) {
    if (width(text) <= room) return text;
    const std::size_t stop = text.find(". ");
    const std::string first = stop == std::string::npos ? text : text.substr(0, stop + 1);
    const std::string more = first.size() < text.size() ? " (more: hover or click)" : "";
    if (width(first + more) <= room) return first + more;
    // Drop characters from the middle until it fits.
    const std::string dots = "...";
    for (std::size_t keep = first.size(); keep > 0; --keep) {
        const std::size_t head = back_to_boundary(first, keep / 2);
        const std::size_t tail_from = back_to_boundary(first, first.size() - (keep - keep / 2));
        const std::string shown = first.substr(0, head) + dots + first.substr(tail_from) + more;
        if (width(shown) <= room) return shown;
    }
    return dots + more;
}
