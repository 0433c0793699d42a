#pragma once
// Reopening a scan record in the Maps window, from "File > Open Scan..." or --open.

#include <QString>
#include <optional>
#include <string>

namespace brevane {

class maps_window;

// Shows the record at path, with cycle chosen (the last one when none). Returns why it could
// not be shown; empty when it is. Damaged lines and a missing end are said in the window.
std::string show_scan_record(maps_window& window, const QString& path, std::optional<int> cycle);

}  // namespace brevane
