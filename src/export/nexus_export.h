#pragma once
// A scan record as NeXus (HDF5), the format the laboratories' viewers open: the entry's
// default plot is the thermal map, both maps are NXdata over (cycle, z, x), the settings are
// an NXparameters group and every reading is kept as a table, so nothing in the record is lost.

#include <QString>
#include <string>
#include <string_view>

#include "logging/scan_record_reader.h"

namespace brevane {

// Writes target whole or not at all. record_path names the record (the entry's title);
// program_version is this program's, for the file's creator. An error text, empty when written.
std::string export_nexus(const scan_record& record, const QString& record_path,
                         const QString& target, const std::string& program_version);
// The same, reading the record twice as it goes instead of holding it; the file is made in a
// process of its own. *summary: the record without its readings, when written.
std::string export_nexus(const scan_record_source& record, const QString& record_path,
                         const QString& target, const std::string& program_version,
                         scan_record* summary);

// The name a setting's key is written under: HDF5 parts paths at '/' and takes "." for the
// group itself, so '/', '%' and NUL are written as %2F, %25 and %00, a name of dots only has
// its dots written as %2E, and the empty key is "%". Distinct keys keep distinct names.
std::string link_name(std::string_view key);

}  // namespace brevane
