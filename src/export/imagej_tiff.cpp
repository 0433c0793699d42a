#include "export/imagej_tiff.h"

#include <QString>
#include <cstring>
#include <mutex>

namespace brevane::imagej {

namespace {

constexpr ttag_t byte_counts_tag = 50838;
constexpr ttag_t metadata_tag = 50839;

// The four-letter codes ImageJ reads as 32-bit numbers in the file's byte order.
constexpr std::uint32_t magic = 0x494a494a;        // "IJIJ"
constexpr std::uint32_t info_type = 0x696e666f;    // "info"
constexpr std::uint32_t labels_type = 0x6c61626c;  // "labl"
constexpr std::uint32_t ranges_type = 0x72616e67;  // "rang"

TIFFExtendProc earlier_extender = nullptr;

void add_tags(TIFF* tif) {
  // Counts of 32 bits: the info text may pass 65535 bytes.
  static const TIFFFieldInfo fields[] = {
      {byte_counts_tag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_LONG, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("IJMetadataByteCounts")},
      {metadata_tag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_BYTE, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("IJMetadata")},
  };
  TIFFMergeFieldInfo(tif, fields, 2);
  if (earlier_extender) earlier_extender(tif);
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// ImageJ's texts are UTF-16 in the file's byte order.
std::uint32_t put_text(std::vector<unsigned char>& out, const std::string& text) {
  const QString s = QString::fromStdString(text);
  for (const QChar c : s) {
    out.push_back(static_cast<unsigned char>(c.unicode() & 0xff));
    out.push_back(static_cast<unsigned char>(c.unicode() >> 8));
  }
  return static_cast<std::uint32_t>(s.size() * 2);
}

QString number(double v) {
  return QString::number(v, 'g', 12);
}

}  // namespace

std::string description(const calibration& c) {
  QString d = QStringLiteral(
                  "ImageJ=1.11a\nimages=%1\nchannels=%1\nslices=1\nframes=1\n"
                  "hyperstack=true\nmode=grayscale\nloop=false\n")
                  .arg(c.channels);
  d += QStringLiteral("unit=%1\n").arg(QString::fromStdString(c.unit));
  // Origins in pixels: X = (column - xorigin) * width; Z = (yorigin - row) * height.
  d += QStringLiteral("xorigin=%1\nyorigin=%2\ninverty=true\n")
           .arg(number(-c.x0 / c.pixel_width), number(c.z_top / c.pixel_height));
  return d.toStdString();
}

void register_tags() {
  static std::once_flag once;
  std::call_once(once, [] { earlier_extender = TIFFSetTagExtender(add_tags); });
}

encoded encode(const metadata& m) {
  encoded e;
  std::vector<unsigned char> header, body;
  put32(header, magic);
  if (!m.info.empty()) {
    put32(header, info_type);
    put32(header, 1);
    e.counts.push_back(put_text(body, m.info));
  }
  if (!m.labels.empty()) {
    put32(header, labels_type);
    put32(header, static_cast<std::uint32_t>(m.labels.size()));
    for (const std::string& label : m.labels) e.counts.push_back(put_text(body, label));
  }
  if (!m.ranges.empty()) {
    put32(header, ranges_type);
    put32(header, 1);
    for (const double v : m.ranges) {
      std::uint64_t bits = 0;
      static_assert(sizeof bits == sizeof v);
      std::memcpy(&bits, &v, sizeof v);
      put32(body, static_cast<std::uint32_t>(bits));
      put32(body, static_cast<std::uint32_t>(bits >> 32));
    }
    e.counts.push_back(static_cast<std::uint32_t>(m.ranges.size() * 8));
  }
  e.counts.insert(e.counts.begin(), static_cast<std::uint32_t>(header.size()));
  e.data = std::move(header);
  e.data.insert(e.data.end(), body.begin(), body.end());
  return e;
}

bool set_tags(TIFF* tif, const metadata& m) {
  const encoded e = encode(m);
  return TIFFSetField(tif, byte_counts_tag, static_cast<std::uint32_t>(e.counts.size()),
                      e.counts.data()) &&
         TIFFSetField(tif, metadata_tag, static_cast<std::uint32_t>(e.data.size()), e.data.data());
}

}  // namespace brevane::imagej
