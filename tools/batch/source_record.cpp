#include "tools/batch/source_record.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <type_traits>

namespace {

constexpr std::string_view kFirstLine = "veltrim source record 1";

// "key value" lines into a map; nothing on a malformed or repeated line.
std::optional<std::map<std::string, std::string>> fields_of(std::string_view text) {
    std::map<std::string, std::string> fields;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // cut short
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos) return std::nullopt;
        const std::string key(line.substr(0, blank));
        if (!fields.emplace(key, std::string(line.substr(blank + 1))).second) return std::nullopt;
    }
    return fields;
}

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
    if (text.empty() || text.size() > 20) return false;
    const std::string s(text);
    if (!std::is_signed_v<Number> && s[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    if constexpr (std::is_signed_v<Number>)
        value = static_cast<Number>(std::strtoll(s.c_str(), &end, 10));
    else
        value = static_cast<Number>(std::strtoull(s.c_str(), &end, 10));
    return *end == '\0' && errno == 0;
}

}  // namespace

std::string escaped_path(std::string_view path) {
    std::string out;
    for (char c : path) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> unescaped_path(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const std::string_view code = text.substr(i + 1, 2);
        if (code == "25")
            out += '%';
        else if (code == "0A")
            out += '\n';
        else if (code == "0D")
            out += '\r';
        else
            return std::nullopt;
        i += 2;
    }
    return out;
}

std::string stamp_text(const File_Stamp& s) {
    return "dev=" + std::to_string(s.device) + " ino=" + std::to_string(s.inode) +
           " size=" + std::to_string(s.size) + " mtime=" + std::to_string(s.mtime_ns) +
           " ctime=" + std::to_string(s.ctime_ns);
}

std::optional<File_Stamp> parse_stamp(std::string_view text) {
    File_Stamp s;
    const std::pair<const char*, bool (*)(std::string_view, File_Stamp&)> parts[] = {
        {"dev=", [](std::string_view v, File_Stamp& t) { return parse_number(v, t.device); }},
        {"ino=", [](std::string_view v, File_Stamp& t) { return parse_number(v, t.inode); }},
        {"size=", [](std::string_view v, File_Stamp& t) { return parse_number(v, t.size); }},
        {"mtime=", [](std::string_view v, File_Stamp& t) { return parse_number(v, t.mtime_ns); }},
        {"ctime=", [](std::string_view v, File_Stamp& t) { return parse_number(v, t.ctime_ns); }}};
    for (const auto& [key, parse] : parts) {
        const std::string_view k(key);
        if (text.substr(0, k.size()) != k) return std::nullopt;
        text.remove_prefix(k.size());
        const std::size_t end = std::min(text.find(' '), text.size());
        if (!parse(text.substr(0, end), s)) return std::nullopt;
        text.remove_prefix(end == text.size() ? end : end + 1);
    }
    if (!text.empty()) return std::nullopt;
    return s;
}

std::string record_text(const Source_Record& r) {
    return std::string(kFirstLine) + "\ndigest xxh3-128:" + r.digest.hex() + "\npath " +
           escaped_path(r.path) + "\nscan " + stamp_text(r.stamp) + "\nrecorded " +
           std::to_string(r.recorded_ns) + "\noptions " + r.options + "\nconversion " +
           std::to_string(r.conversion) + "\nimage " + stamp_text(r.image) + "\n";
}

std::optional<Source_Record> parse_record(std::string_view text) {
    if (text.substr(0, kFirstLine.size() + 1) != std::string(kFirstLine) + "\n")
        return std::nullopt;
    const auto fields = fields_of(text.substr(kFirstLine.size() + 1));
    if (!fields || fields->size() != 7) return std::nullopt;
    auto field = [&](const char* key) -> const std::string* {
        const auto it = fields->find(key);
        return it == fields->end() ? nullptr : &it->second;
    };
    const std::string *digest = field("digest"), *path = field("path"), *scan = field("scan"),
                      *recorded = field("recorded"), *options = field("options"),
                      *conversion = field("conversion"), *image = field("image");
    if (!digest || !path || !scan || !recorded || !options || !conversion || !image)
        return std::nullopt;
    Source_Record r;
    const std::string_view kind = "xxh3-128:";
    if (digest->compare(0, kind.size(), kind) != 0) return std::nullopt;
    const auto d = Content_Digest::from_hex(std::string_view(*digest).substr(kind.size()));
    const auto p = unescaped_path(*path);
    const auto s = parse_stamp(*scan);
    const auto written = parse_stamp(*image);
    if (!d || !p || !s || !written || !parse_number(*recorded, r.recorded_ns) ||
        !parse_number(*conversion, r.conversion))
        return std::nullopt;
    r.digest = *d;
    r.path = *p;
    r.stamp = *s;
    r.options = *options;
    r.image = *written;
    return r;
}

bool describes_image(const Source_Record& record, const File_Stamp& image) {
    return record.image.inode == image.inode && record.image.size == image.size &&
           record.image.mtime_ns == image.mtime_ns;
}
