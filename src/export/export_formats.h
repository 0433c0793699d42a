#pragma once
// The one table of the formats a scan record is exported in: the command line's --export-NAME
// options, the Maps window's File > Export and the list in docs/formats.md are all made from
// it, so a new format is one row.

#include <QString>
#include <cstddef>
#include <optional>
#include <string>

#include "display/maps_scale.h"
#include "logging/scan_record_reader.h"

namespace brevane {

enum class export_format { nexus, tiff, csv, png };

// What an export of a record needs besides the target.
struct export_request {
  QString record;            // the scan record's path
  std::optional<int> cycle;  // TIFF and PNG: the cycle (the last when none)
  std::string program_version;
  palette_kind colours = palette_kind::colour;  // PNG
};

struct export_outcome {
  std::string error;   // why nothing was written; empty when written
  std::string done;    // what was written, for the operator
  scan_record record;  // without its readings; its damaged lines to name
};

struct export_kind {
  export_format format;
  const char* name;       // the option is --export-NAME
  const char* extension;  // with its dot
  const char* filter;     // the file dialog's line for it
  bool with_sweep;        // --sweep writes it too, as the sweep ends
  bool needs_fonts;       // a picture: needs the application object, and a sweep paints it
                          // from its own maps
  // Reads the record at request.record, in flat memory, and writes it to target.
  export_outcome (*write)(const export_request& request, const QString& target);
};

// In the order the Maps window's dialog offers them.
inline constexpr std::size_t export_kind_count = 4;
extern const export_kind export_kinds[export_kind_count];

const export_kind& export_kind_of(export_format format);
// "--export-csv" and so on.
std::string export_option(const export_kind& kind);

}  // namespace brevane
