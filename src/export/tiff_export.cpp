#include "export/tiff_export.h"

#include <tiffio.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/file_output.h"
#include "export/map_grids.h"

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

QByteArray description(const map_grids& g, int cycle, map_kind kind, const QString& record_name,
                       const QJsonObject& settings) {
  const bool thermal = kind == map_kind::thermal;
  QJsonArray xs, zs;
  for (int x : g.x()) xs.append(x);
  for (auto z = g.z().rbegin(); z != g.z().rend(); ++z) zs.append(*z);
  const QJsonObject o{
      {QStringLiteral("map"), thermal ? QStringLiteral("thermal") : QStringLiteral("sonic")},
      {QStringLiteral("name"),
       thermal ? QStringLiteral("Thermal map, \u00b0F") : QStringLiteral("Sonic map, inches")},
      {QStringLiteral("quantity"),
       thermal ? QStringLiteral("temperature") : QStringLiteral("distance")},
      {QStringLiteral("units"), thermal ? QStringLiteral("degF") : QStringLiteral("in")},
      {QStringLiteral("record"), record_name},
      {QStringLiteral("cycle"), cycle},
      {QStringLiteral("x"), xs},
      {QStringLiteral("z"), zs},
      {QStringLiteral("position_units"), QStringLiteral("1")},
      {QStringLiteral("missing"), QStringLiteral("NaN: no reading taken there")},
      {QStringLiteral("settings"), settings},
  };
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// One page: the plane turned so that row 0 is the highest Z, as float32.
std::string write_page(TIFF* tif, const map_grids& g, int cycle, map_kind kind, int page,
                       const QByteArray& text, const std::string& software) {
  const auto width = static_cast<std::uint32_t>(g.x().size());
  const auto height = static_cast<std::uint32_t>(g.z().size());
  const std::vector<double> plane = g.plane(cycle, kind);
  std::vector<float> pixels(plane.size());
  for (std::uint32_t r = 0; r < height; ++r)
    for (std::uint32_t c = 0; c < width; ++c)
      pixels[std::size_t{r} * width + c] =
          static_cast<float>(plane[std::size_t{height - 1 - r} * width + c]);
  const bool fields =
      TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
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
      TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, 2) &&
      TIFFSetField(tif, TIFFTAG_PAGENAME, kind == map_kind::thermal ? "thermal" : "sonic") &&
      TIFFSetField(tif, TIFFTAG_SOFTWARE, software.c_str()) &&
      TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, text.constData());
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
  const QString record_name = QFileInfo(record_path).fileName();
  const map_grids g = grids_from_record(record);
  const int chosen = cycle.value_or(g.empty() ? 0 : g.cycles().back());
  if (g.empty() || g.x().empty())
    return record_name.toStdString() + " holds no map readings; a TIFF needs at least one";
  if (chosen < 1 || chosen > g.cycles().back())
    return record_name.toStdString() + " holds " + std::to_string(g.cycles().back()) +
           " cycle(s) of readings; there is no cycle " + std::to_string(chosen);
  const std::string software = "Brevane " + program_version;
  const std::string why = files::write_whole_by_name(target, [&](const QString& temporary) {
    const quiet_libtiff quiet;
    errno = 0;
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
        TIFFOpen(QFile::encodeName(temporary).constData(), "w"), TIFFClose);
    if (!tif) return tiff_failure(errno);
    int page = 0;
    for (map_kind kind : {map_kind::thermal, map_kind::sonic}) {
      std::string failed =
          write_page(tif.get(), g, chosen, kind, page++,
                     description(g, chosen, kind, record_name, record.header.settings), software);
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
