#include "export/tiff_export.h"

#include <tiffio.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "common/file_output.h"
#include "display/maps_layout.h"
#include "export/grid_pass.h"
#include "export/imagej_tiff.h"

namespace brevane {

namespace {

// libtiff tells its failures through a handler; they are kept here, not printed.
thread_local std::string tiff_message;

void keep_message(const char* module, const char* format, va_list args) {
  char text[512];
  if (std::vsnprintf(text, sizeof text, format, args) < 0) return;
  if (tiff_message.empty()) tiff_message = (module ? std::string(module) + ": " : "") + text;
}

// The handlers for the length of one export.
class quiet_libtiff {
 public:
  quiet_libtiff()
      : error_(TIFFSetErrorHandler(keep_message)), warning_(TIFFSetWarningHandler(nullptr)) {
    tiff_message.clear();
  }
  ~quiet_libtiff() {
    TIFFSetErrorHandler(error_);
    TIFFSetWarningHandler(warning_);
  }
  quiet_libtiff(const quiet_libtiff&) = delete;
  quiet_libtiff& operator=(const quiet_libtiff&) = delete;

 private:
  TIFFErrorHandler error_;
  TIFFErrorHandler warning_;
};

// Why the last libtiff call failed: the system's words when a system call failed under it.
std::string tiff_failure(int error_number) {
  if (error_number != 0) return files::reason(error_number);
  return tiff_message.empty() ? std::string("libtiff failed") : tiff_message;
}

// The distance between neighbouring positions: the grid's own spacing, or the mean spacing
// when the two run directions left columns at uneven distances (the info's positions are
// exact).
double pitch(const std::vector<int>& positions) {
  if (positions.size() < 2) return 1;
  return double(positions.back() - positions.front()) / double(positions.size() - 1);
}

// The lowest and highest value of a plane; none when every cell is NaN.
std::optional<std::pair<double, double>> bounds(const std::vector<double>& plane) {
  std::optional<std::pair<double, double>> b;
  for (const double v : plane)
    if (!std::isnan(v))
      b = b ? std::pair{std::min(b->first, v), std::max(b->second, v)} : std::pair{v, v};
  return b;
}

struct map_page {
  map_kind kind;
  const char* name;
  const char* title;
  const char* quantity;
  const char* units;
};
constexpr map_page map_pages[] = {
    {map_kind::thermal, "thermal", "Thermal map, \u00b0F", "temperature", "degF"},
    {map_kind::sonic, "sonic", "Sonic map, inches", "distance", "in"},
};

// The JSON that ImageJ shows as the image's info: the maps, the position of every column
// and row, and the settings.
std::string info(const grid_axes& g, int cycle, const QString& record_name,
                 const QJsonObject& settings) {
  QJsonArray xs, zs, maps;
  for (int x : g.x()) xs.append(x);
  for (auto z = g.z().rbegin(); z != g.z().rend(); ++z) zs.append(*z);
  for (const map_page& m : map_pages)
    maps.append(QJsonObject{{QStringLiteral("map"), QLatin1String(m.name)},
                            {QStringLiteral("name"), QString::fromUtf8(m.title)},
                            {QStringLiteral("quantity"), QLatin1String(m.quantity)},
                            {QStringLiteral("units"), QLatin1String(m.units)}});
  const QJsonObject o{
      {QStringLiteral("maps"), maps},
      {QStringLiteral("record"), record_name},
      {QStringLiteral("cycle"), cycle},
      {QStringLiteral("x"), xs},
      {QStringLiteral("z"), zs},
      {QStringLiteral("position_units"), QStringLiteral("1")},
      {QStringLiteral("missing"), QStringLiteral("NaN: no reading taken there")},
      {QStringLiteral("settings"), settings},
  };
  return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

// The first page carries what ImageJ reads for the whole file.
struct whole_file {
  std::string description;
  imagej::metadata metadata;
};

// One page: the plane turned so that row 0 is the highest Z, as float32, with its scale in
// the resolution tags (pixels per head position) and its values' bounds.
std::string write_page(TIFF* tif, const grid_axes& g, const std::vector<double>& plane,
                       const map_page& m, int page, const whole_file* first,
                       const std::string& software) {
  const auto width = static_cast<std::uint32_t>(g.x().size());
  const auto height = static_cast<std::uint32_t>(g.z().size());
  std::vector<float> pixels(plane.size());
  for (std::uint32_t r = 0; r < height; ++r)
    for (std::uint32_t c = 0; c < width; ++c)
      pixels[std::size_t{r} * width + c] =
          static_cast<float>(plane[std::size_t{height - 1 - r} * width + c]);
  bool fields = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
                TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
                TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32) &&
                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
                TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) &&
                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
                TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
                TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
                TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height) &&
                TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE) &&
                TIFFSetField(tif, TIFFTAG_XRESOLUTION, 1.0 / pitch(g.x())) &&
                TIFFSetField(tif, TIFFTAG_YRESOLUTION, 1.0 / pitch(g.z())) &&
                TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, 2) &&
                TIFFSetField(tif, TIFFTAG_PAGENAME, m.name) &&
                TIFFSetField(tif, TIFFTAG_SOFTWARE, software.c_str());
  if (const auto b = bounds(plane))
    fields = fields && TIFFSetField(tif, TIFFTAG_SMINSAMPLEVALUE, b->first) &&
             TIFFSetField(tif, TIFFTAG_SMAXSAMPLEVALUE, b->second);
  if (first)
    fields = fields && TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, first->description.c_str()) &&
             imagej::set_tags(tif, first->metadata);
  if (!fields) return tiff_failure(0);
  errno = 0;
  const auto bytes = static_cast<tmsize_t>(pixels.size() * sizeof(float));
  if (TIFFWriteEncodedStrip(tif, 0, pixels.data(), bytes) != bytes) return tiff_failure(errno);
  errno = 0;
  if (!TIFFWriteDirectory(tif)) return tiff_failure(errno);
  return {};
}

}  // namespace

std::string export_tiff(const scan_record& record, const QString& record_path,
                        std::optional<int> cycle, const QString& target,
                        const std::string& program_version) {
  return export_tiff(record_held(record), record_path, cycle, target, program_version, nullptr);
}

std::string export_tiff(const scan_record_source& record, const QString& record_path,
                        std::optional<int> cycle, const QString& target,
                        const std::string& program_version, scan_record* summary) {
  const QString record_name = QFileInfo(record_path).fileName();
  // Two passes over the record: the axes and the cycles, then the one cycle's cells.
  grid_axes g;
  std::string refusal;
  auto read = record(g.listener(), &refusal);
  if (!read) return refusal;
  if (summary) *summary = *read;
  g.finish();
  const int chosen = cycle.value_or(g.empty() ? 0 : g.cycles().back());
  if (g.empty() || g.x().empty())
    return record_name.toStdString() + " holds no map readings; a TIFF needs at least one";
  if (chosen < 1 || chosen > g.cycles().back())
    return record_name.toStdString() + " holds " + std::to_string(g.cycles().back()) +
           " cycle(s) of readings; there is no cycle " + std::to_string(chosen);
  const grid_planes cells = cycle_planes(record, g, chosen, &refusal);
  if (cells.thermal.size() != g.plane_size()) return refusal;
  const std::string software = "Brevane " + program_version;
  const std::vector<double>* planes[] = {&cells.thermal, &cells.sonic};
  whole_file first;
  first.description = imagej::description(
      {2, "position", pitch(g.x()), pitch(g.z()), double(g.x().front()), double(g.z().back())});
  first.metadata.info = info(g, chosen, record_name, read->header.settings);
  for (std::size_t i = 0; i < std::size(map_pages); ++i) {
    first.metadata.labels.push_back(std::string(map_pages[i].name) + " (" + map_pages[i].units +
                                    ")");
    const auto b = bounds(*planes[i]).value_or(std::pair{0.0, 1.0});
    first.metadata.ranges.insert(first.metadata.ranges.end(), {b.first, b.second});
  }
  imagej::register_tags();
  const std::string why = files::write_whole_by_name(target, [&](const QString& temporary) {
    const quiet_libtiff quiet;
    errno = 0;
    // Little-endian, as the IJMetadata tags are laid out.
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
        TIFFOpen(QFile::encodeName(temporary).constData(), "wl"), TIFFClose);
    if (!tif) return tiff_failure(errno);
    for (std::size_t i = 0; i < std::size(map_pages); ++i) {
      std::string failed = write_page(tif.get(), g, *planes[i], map_pages[i], static_cast<int>(i),
                                      i == 0 ? &first : nullptr, software);
      if (!failed.empty()) return failed;
    }
    // TIFFClose cannot fail aloud; everything is written by the flush before it.
    errno = 0;
    if (!TIFFFlush(tif.get())) return tiff_failure(errno);
    return std::string();
  });
  if (why.empty()) return {};
  return "the TIFF file " + QDir::toNativeSeparators(target).toStdString() +
         " cannot be written: " + why;
}

}  // namespace brevane
