#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/triangle.h"

// How ASCII STL writes vertex coordinates.
enum class Stl_Numbers {
    Exporter,  // "%e", as common exporters write: seven significant digits
    Exact,     // "%.9g": every float reads back bit for bit
};

// What readers ignore or may round; the defaults are what exporters write.
struct Stl_Write_Options {
    // Written as every facet's normal; none: each facet's own unit normal
    // by the right-hand rule (zero for a facet without area).
    std::optional<std::array<float, 3>> normal;
    std::uint16_t attribute = 0;                  // binary only
    Stl_Numbers numbers = Stl_Numbers::Exporter;  // ASCII vertices; normals are always "%e"
};

// Takes the written bytes in pieces of about 4 MiB, so that a large model
// is never held whole as text; false stops the writing.
using Stl_Sink = std::function<bool(const std::string& bytes)>;

// Binary STL: `header` cut or padded with zeros to 80 bytes, the facet
// count, then 50 bytes a facet, little-endian like the host. False when
// the sink refused a piece.
bool write_stl_binary(const std::vector<Triangle>& facets, const std::string& header,
                      const Stl_Sink& sink, const Stl_Write_Options& options = {});

// ASCII STL from "solid name" to "endsolid name".
bool write_stl_ascii(const std::vector<Triangle>& facets, const std::string& name,
                     const Stl_Sink& sink, const Stl_Write_Options& options = {});

// The same, whole in memory.
std::string stl_binary(const std::vector<Triangle>& facets, const std::string& header,
                       const Stl_Write_Options& options = {});
std::string stl_ascii(const std::vector<Triangle>& facets, const std::string& name,
                      const Stl_Write_Options& options = {});
