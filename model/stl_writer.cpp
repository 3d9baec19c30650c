#include "model/stl_writer.h"

#include <cmath>
#include <cstring>

#include "platform/text_format.h"

namespace {

using platform::format_text;

constexpr std::size_t kPiece = std::size_t(4) << 20;

void normal_to_write(const Triangle& t, const Stl_Write_Options& options, float* n) {
    if (options.normal) {
        std::memcpy(n, options.normal->data(), 12);
        return;
    }
    // From the coordinates as written, in double: the committed samples hold these bits.
    const double ux = t.v[1][0] - t.v[0][0], uy = t.v[1][1] - t.v[0][1], uz = t.v[1][2] - t.v[0][2];
    const double vx = t.v[2][0] - t.v[0][0], vy = t.v[2][1] - t.v[0][1], vz = t.v[2][2] - t.v[0][2];
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double inv = len > 0 ? 1.0 / len : 0.0;
    n[0] = static_cast<float>(nx * inv);
    n[1] = static_cast<float>(ny * inv);
    n[2] = static_cast<float>(nz * inv);
}

// Hands the bytes on once a piece is full, and at the end.
bool pass_on(std::string& bytes, const Stl_Sink& sink, bool end) {
    if (!end && bytes.size() < kPiece) return true;
    const bool taken = sink(bytes);
    bytes.clear();
    return taken;
}

Stl_Sink appending_to(std::string& all) {
    return [&all](const std::string& piece) {
        all += piece;
        return true;
    };
}

void append_vertex(std::string& text, const float* v, Stl_Numbers numbers) {
    text += numbers == Stl_Numbers::Exact
                ? format_text("      vertex %.9g %.9g %.9g\n", v[0], v[1], v[2])
                : format_text("      vertex %e %e %e\n", v[0], v[1], v[2]);
}

}  // namespace

bool write_stl_binary(const std::vector<Triangle>& facets, const std::string& header,
                      const Stl_Sink& sink, const Stl_Write_Options& options) {
    std::string bytes(84, '\0');
    header.copy(&bytes[0], 80);
    const std::uint32_t count = static_cast<std::uint32_t>(facets.size());
    std::memcpy(&bytes[80], &count, 4);
    for (const Triangle& t : facets) {
        char record[50];
        float normal[3];
        normal_to_write(t, options, normal);
        std::memcpy(record, normal, 12);
        std::memcpy(record + 12, t.v, 36);
        std::memcpy(record + 48, &options.attribute, 2);
        bytes.append(record, 50);
        if (!pass_on(bytes, sink, false)) return false;
    }
    return pass_on(bytes, sink, true);
}

bool write_stl_ascii(const std::vector<Triangle>& facets, const std::string& name,
                     const Stl_Sink& sink, const Stl_Write_Options& options) {
    std::string text = "solid " + name + "\n";
    for (const Triangle& t : facets) {
        float n[3];
        normal_to_write(t, options, n);
        text += format_text("  facet normal %e %e %e\n", n[0], n[1], n[2]);
        text += "    outer loop\n";
        for (const auto& v : t.v) append_vertex(text, v, options.numbers);
        text += "    endloop\n  endfacet\n";
        if (!pass_on(text, sink, false)) return false;
    }
    text += "endsolid " + name + "\n";
    return pass_on(text, sink, true);
}

std::string stl_binary(const std::vector<Triangle>& facets, const std::string& header,
                       const Stl_Write_Options& options) {
    std::string all;
    write_stl_binary(facets, header, appending_to(all), options);
    return all;
}

std::string stl_ascii(const std::vector<Triangle>& facets, const std::string& name,
                      const Stl_Write_Options& options) {
    std::string all;
    write_stl_ascii(facets, name, appending_to(all), options);
    return all;
}
