#include "platform/uri_list.h"

#include <cctype>
#include <sstream>

#include "platform/file_names.h"

namespace platform {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A "%" not followed by two hex digits is kept as it is.
bool percent_decode(const std::string& in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int high = in[i] == '%' && i + 2 < in.size() ? hex_value(in[i + 1]) : -1;
        const int low = high >= 0 ? hex_value(in[i + 2]) : -1;
        if (low < 0) {
            out += in[i];
            continue;
        }
        const char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') return false;
        out += byte;
        i += 2;
    }
    return true;
}

// prefix is lower case.
bool starts_with_no_case(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

}  // namespace

std::optional<std::string> local_path_from_uri(const std::string& entry) {
    if (entry.empty()) return std::nullopt;
    if (!starts_with_no_case(entry, "file:")) {
        // A plain path. A colon before the first slash is a scheme
        // ("http:", "smb:"): not a local file.
        const std::size_t colon = entry.find(':');
        const std::size_t slash = entry.find('/');
        if (colon != std::string::npos && (slash == std::string::npos || colon < slash))
            return std::nullopt;
        return entry;
    }
    std::string rest = entry.substr(5);
    if (rest.compare(0, 2, "//") == 0) {  // an authority: empty or localhost
        const std::size_t end = rest.find('/', 2);
        if (end == std::string::npos) return std::nullopt;
        const std::string host = rest.substr(2, end - 2);
        if (!host.empty() && !(host.size() == 9 && starts_with_no_case(host, "localhost")))
            return std::nullopt;
        rest = rest.substr(end);
    }
    std::string path;
    if (rest.empty() || rest[0] != '/' || !percent_decode(rest, path)) return std::nullopt;
    return path;
}

std::optional<std::string> first_stl_in_uri_list(const std::string& list) {
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::optional<std::string> path = local_path_from_uri(line);
        if (path && is_stl_name(*path)) return path;
    }
    return std::nullopt;
}

}  // namespace platform
