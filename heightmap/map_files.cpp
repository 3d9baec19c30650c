#include "heightmap/map_files.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>
#include <tiffio.h>

#include "heightmap/sizes.h"
#include "platform/text_format.h"

namespace map_files {

namespace {

using platform::number_text;

// libpng reports errors by longjmp: nothing with a destructor lives between
// setjmp and the calls that may jump.
void append_png(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Only plain values live here: libpng's errors longjmp out of the calls.
bool write_png(png_structp png, png_infop info, png_text* texts, int text_count,
               const unsigned char* rows_base, int bit_depth, int rows, int cols,
               std::string* bytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, bytes, append_png, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(cols), static_cast<png_uint_32>(rows),
                 bit_depth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_text(png, info, texts, text_count);
    // A height map is mostly flat runs: the fastest zlib level with one
    // filter costs a fraction of the defaults for a file a few percent larger.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    if (bit_depth == 16) png_set_swap(png);  // PNG is big-endian; our values are not
    const std::size_t row_bytes = static_cast<std::size_t>(cols) * bit_depth / 8;
    for (int r = 0; r < rows; ++r)
        png_write_row(png,
                      const_cast<png_bytep>(rows_base + static_cast<std::size_t>(r) * row_bytes));
    png_write_end(png, info);
    return true;
}

Status encode_png(const void* values, int bit_depth, int rows, int cols, const Scale& scale,
                  std::string& bytes) {
    bytes.clear();
    const auto fields = text_fields(scale);
    std::vector<png_text> texts(fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
        texts[k].compression = PNG_TEXT_COMPRESSION_NONE;
        texts[k].key = const_cast<char*>(fields[k].first.c_str());
        texts[k].text = const_cast<char*>(fields[k].second.c_str());
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written =
        info != nullptr &&
        write_png(png, info, texts.data(), static_cast<int>(texts.size()),
                  static_cast<const unsigned char*>(values), bit_depth, rows, cols, &bytes);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return written ? Status::ok() : Status::failed("the PNG encoder failed");
}

// libtiff writes through these into a string, as into a file.
struct Tiff_Buffer {
    std::string* bytes;
    toff_t at = 0;
};

tsize_t tiff_read(thandle_t, tdata_t, tsize_t) { return 0; }

tsize_t tiff_write(thandle_t handle, tdata_t data, tsize_t size) {
    auto* b = static_cast<Tiff_Buffer*>(handle);
    const std::size_t end = static_cast<std::size_t>(b->at) + static_cast<std::size_t>(size);
    if (end > b->bytes->size()) b->bytes->resize(end);
    std::memcpy(&(*b->bytes)[static_cast<std::size_t>(b->at)], data,
                static_cast<std::size_t>(size));
    b->at = end;
    return size;
}

toff_t tiff_seek(thandle_t handle, toff_t offset, int whence) {
    auto* b = static_cast<Tiff_Buffer*>(handle);
    const toff_t base = whence == SEEK_CUR ? b->at : whence == SEEK_END ? b->bytes->size() : 0;
    b->at = base + offset;
    return b->at;
}

int tiff_close(thandle_t) { return 0; }
toff_t tiff_size(thandle_t handle) { return static_cast<Tiff_Buffer*>(handle)->bytes->size(); }
int tiff_map(thandle_t, tdata_t*, toff_t*) { return 0; }
void tiff_unmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

std::string description(const Scale& scale) {
    const double first_x = -sizes::kPlateLength / 2 + scale.pixel_size / 2;
    const double first_z = sizes::kPlateWidth / 2 - scale.pixel_size / 2;
    const std::string values = scale.in_units
                                   ? "a value is the height in model units above the base plate"
                                   : "a value V is V / " + number_text(scale.levels_per_unit) +
                                         " model units above the base plate";
    return "Veltrim height map: " + values + " (0: the plate, or nothing there). Pixels are " +
           number_text(scale.pixel_size) + " units apart; row r lies over plate x = (r + 0.5) * " +
           number_text(scale.pixel_size) + " - " + number_text(sizes::kPlateLength / 2) +
           ", column c over plate z = " + number_text(sizes::kPlateWidth / 2) + " - (c + 0.5) * " +
           number_text(scale.pixel_size) + "; pixel (0, 0) is over x = " + number_text(first_x) +
           ", z = " + number_text(first_z) + ".";
}

std::vector<std::pair<std::string, std::string>> text_fields(const Scale& scale) {
    return {{"Description", description(scale)},
            {"Software", "Veltrim"},
            {"levels-per-unit",
             scale.in_units ? "none: heights in units" : number_text(scale.levels_per_unit)},
            {"pixel-size", number_text(scale.pixel_size)},
            {"plate-origin", "x " + number_text(-sizes::kPlateLength / 2) + ", z " +
                                 number_text(sizes::kPlateWidth / 2)},
            {"orientation", "rows along +x, columns along -z"}};
}

Status encode_png8(const std::uint8_t* values, int rows, int cols, const Scale& scale,
                   std::string& bytes) {
    return encode_png(values, 8, rows, cols, scale, bytes);
}

Status encode_png16(const std::uint16_t* values, int rows, int cols, const Scale& scale,
                    std::string& bytes) {
    return encode_png(values, 16, rows, cols, scale, bytes);
}

Status encode_tiff(const float* heights, int rows, int cols, const Scale& scale,
                   std::string& bytes) {
    bytes.clear();
    Tiff_Buffer buffer{&bytes};
    TIFF* tiff = TIFFClientOpen("height map", "w", &buffer, tiff_read, tiff_write, tiff_seek,
                                tiff_close, tiff_size, tiff_map, tiff_unmap);
    if (tiff == nullptr) return Status::failed("the TIFF encoder could not start");
    const std::string text = description(scale);
    const float per_unit = static_cast<float>(1.0 / scale.pixel_size);
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(cols)) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(rows)) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE) &&
              TIFFSetField(tiff, TIFFTAG_XRESOLUTION, per_unit) &&
              TIFFSetField(tiff, TIFFTAG_YRESOLUTION, per_unit) &&
              TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, text.c_str()) &&
              TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Veltrim");
    for (int r = 0; ok && r < rows; ++r)
        ok = TIFFWriteScanline(tiff,
                               const_cast<float*>(heights + static_cast<std::size_t>(r) * cols),
                               static_cast<std::uint32_t>(r), 0) == 1;
    TIFFClose(tiff);
    return ok ? Status::ok() : Status::failed("the TIFF encoder failed");
}

}  // namespace map_files
