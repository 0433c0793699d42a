#include "app/record_jobs.h"

#include <QDir>
#include <algorithm>
#include <iostream>
#include <iterator>

#include "export/export_formats.h"

namespace brevane {

namespace {

// The first ten damaged lines of a record on stderr, and how many more there were.
void name_problems(const QString& record_path, const scan_record& record) {
  constexpr std::size_t shown = 10;
  const std::vector<std::string>& problems = record.problems;
  const std::string path = QDir::toNativeSeparators(record_path).toStdString();
  for (std::size_t i = 0; i < problems.size() && i < shown; ++i)
    std::cerr << "brevane: " << path << ": " << problems[i] << "\n";
  if (problems.size() > shown)
    std::cerr << "brevane: ... and " << problems.size() - shown + record.problems_left_out
              << " more problems\n";
}

bool from_sweep_record(const export_kind& k) {
  return k.with_sweep && !k.needs_fonts;
}

}  // namespace

bool sweep_exports(const command_line& options) {
  return std::any_of(std::begin(export_kinds), std::end(export_kinds), [&](const export_kind& k) {
    return from_sweep_record(k) && !options.export_file(k.format).isEmpty();
  });
}

int export_record_files(const QString& record, const command_line& options,
                        const std::string& program_version, bool after_sweep) {
  export_request request;
  request.record = record;
  request.cycle = after_sweep ? std::nullopt : options.cycle;
  request.program_version = program_version;
  request.colours = options.palette;
  int code = 0;
  bool named = false;
  for (const export_kind& k : export_kinds) {
    const QString& target = options.export_file(k.format);
    if (target.isEmpty() || (after_sweep && !from_sweep_record(k))) continue;
    const export_outcome o = k.write(request, target);
    if (!named && !o.record.problems.empty()) {
      name_problems(record, o.record);
      named = true;
    }
    if (!o.error.empty()) {
      std::cerr << "brevane: " << o.error << "\n";
      code = 1;
    } else {
      std::cout << o.done << "\n";
    }
  }
  return code;
}

}  // namespace brevane
