#include "platform/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

std::string format_text(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) + 1 : 1, '\0');
    if (n > 0) std::vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.pop_back();
    return text;
}

std::string number_text(double value) { return format_text("%.9g", value); }

std::string as_lines(const std::vector<std::string>& lines, const std::string& prefix) {
    std::string text;
    for (const std::string& line : lines) text += prefix + line + "\n";
    return text;
}

std::string joined(const std::vector<std::string>& lines, const char* separator) {
    std::string text;
    for (std::size_t k = 0; k < lines.size(); ++k) text += (k > 0 ? separator : "") + lines[k];
    return text;
}

}  // namespace platform
