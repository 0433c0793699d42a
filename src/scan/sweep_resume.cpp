#include "scan/sweep_resume.h"

#include <QDir>
#include <QJsonValue>
#include <array>
#include <cmath>

#include "logging/scan_record_fields.h"
#include "logging/scan_record_reader.h"
#include "scan/sweep_count.h"

namespace brevane {

namespace {

std::string grouped(long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
    digits.insert(static_cast<std::size_t>(i), ",");
  return n < 0 ? "-" + digits : digits;
}

std::string place_text(int cycle, pass_direction pass, int row, int point) {
  return "cycle " + std::to_string(cycle) + ", " +
         (pass == pass_direction::upward ? "upward" : "downward") + " pass, row " +
         std::to_string(row) + (point == 0 ? ", its start" : ", point " + std::to_string(point));
}

// The record's settings as the controls would take them; empty when they can, else why,
// naming the key.
std::string settings_of(const scan_record& record, sweep_settings& s) {
  for (const std::string_view key : sweep_setting_keys()) {
    const QJsonValue v = record.header.settings.value(QLatin1StringView(key.data(), static_cast<qsizetype>(key.size())));
    if (v.isUndefined()) continue;
    std::string text;
    if (v.isBool())
      text = v.toBool() ? "true" : "false";
    else if (v.isDouble() && v.toDouble() == std::floor(v.toDouble()) && std::abs(v.toDouble()) < 1e9)
      text = std::to_string(static_cast<long long>(v.toDouble()));
    else
      return "its setting \"" + std::string(key) + "\" is no value the controls can take";
    if (std::string why = set_sweep_setting(s, key, text); !why.empty()) return why;
  }
  // The limits in use when it stopped: the last change of them, or the first line's.
  const raster_in_use r = record.raster_changes.empty() ? record.header.raster
                                                         : record.raster_changes.back().raster;
  if (r.row_step != r.point_step)
    return "its row_step " + std::to_string(r.row_step) + " differs from its point_step " +
           std::to_string(r.point_step) + "; the controls take one step";
  const std::array<std::pair<const char*, int>, 5> in_use = {
      {{"xmin", r.xmin}, {"xmax", r.xmax}, {"zmin", r.zmin}, {"zmax", r.zmax}, {"step", r.point_step}}};
  for (const auto& [key, value] : in_use)
    if (std::string why = set_sweep_setting(s, key, std::to_string(value)); !why.empty()) return why;
  return {};
}

std::string head_refusal(const scan_record_header& h, const resume_request& q) {
  if (q.any_head) return {};
  if (h.head_kind != q.head_kind)
    return "it was taken by " + (h.head_kind == "usb" ? std::string("a USB head") : "the " + h.head_kind + " head") +
           ", not the head in use";
  if (h.head_kind == "usb" && h.head_serial != q.head_serial)
    return h.head_serial.empty() || q.head_serial.empty()
               ? std::string("the serial number of its head or of this one is not known")
               : "it was taken by the head " + h.head_serial + ", not " + q.head_serial;
  return {};
}

}  // namespace

std::optional<resume_plan> plan_resume(const resume_request& q, std::string* why) {
  const std::string name = QDir::toNativeSeparators(q.record).toStdString();
  const auto refuse = [&](const std::string& reason) {
    if (why) *why = name + " cannot be resumed: " + reason;
    return std::nullopt;
  };
  resume_plan plan;
  std::string refusal;
  const auto record = read_scan_record(q.record, &refusal, &plan.whole_end);
  if (!record) {
    if (why) *why = refusal;
    return std::nullopt;
  }
  if (record->end)
    return refuse(std::string("its sweep has ended (") + scan_record_fields::end_name(record->end->how) +
                  "); it can be opened, not continued");
  if (std::string bad = head_refusal(record->header, q); !bad.empty())
    return refuse(bad + " (--resume-on-any-head takes it up all the same)");
  plan.settings = q.base;
  if (std::string bad = settings_of(*record, plan.settings); !bad.empty()) return refuse(bad);
  if (record->readings.empty()) return refuse("it holds no reading; start a new sweep");

  sweep_resumption& from = plan.from;
  from.last = record->readings.back().event;
  for (const recorded_reading& r : record->readings) {
    if (r.event.kind != reading_kind::baseline) break;
    ++from.baseline_held;
    // The mean is of whole degrees, as the baseline takes it.
    from.baseline_sum += std::nearbyint(r.event.temperature_f.value_or(0.0));
  }
  for (const recorded_reading& r : record->readings) {
    const reading_event& e = r.event;
    // A line for each thermal reading, and for each distance while Temp Off skips the former.
    plan.log_lines += (e.temperature_f ? 1 : 0) + (plan.settings.temp_off && e.distance_in ? 1 : 0);
    if (e.kind != reading_kind::baseline && e.cycle == from.last.cycle)
      from.cycle_readings.push_back(e);
  }
  from.avgt = record->avgt;
  if (!from.avgt && from.last.kind != reading_kind::baseline) {
    if (from.baseline_held == 0) return refuse("it holds neither its baseline nor its readings");
    from.avgt = from.baseline_sum / from.baseline_held;
  }
  if (from.baseline_held > 10) return refuse("it holds more than ten baseline readings");

  const int step = plan.settings.step;
  const long rows = raster_count(plan.settings.zmin, plan.settings.zmax, step);
  const long points = raster_count(plan.settings.xmin, plan.settings.xmax, step);
  const long per_pass = rows * (1 + points);
  const reading_event& last = from.last;
  const bool baseline = last.kind == reading_kind::baseline;
  if (!baseline && (last.cycle < 1 || last.row < 1 || last.row > rows || last.point < 0 ||
                    last.point > points || (last.kind == reading_kind::point) != (last.point > 0)))
    return refuse("its last reading (" + place_text(last.cycle, last.pass, last.row, last.point) +
                  ") lies outside its raster");

  plan.cycles = record->header.cycles;
  plan.log_data = record->header.log_data;
  plan.log_images = record->header.log_images;
  if (!plan.cycles && !plan.settings.repeat) plan.cycles = q.cycles.value_or(1);
  if (plan.cycles) plan.cycles = std::max(*plan.cycles, last.cycle);
  plan.held = static_cast<long>(record->readings.size());
  plan.start = record->header.start;
  plan.last_ms = record->last_ms;
  plan.record = q.record;

  long to_go_now = 0;  // before the next whole pass
  int cycle = 1;
  pass_direction pass = pass_direction::upward;
  if (baseline) {
    to_go_now = from.avgt ? 0 : 10 - from.baseline_held;
    plan.next = to_go_now > 0 ? "baseline reading " + std::to_string(from.baseline_held + 1)
                              : place_text(1, pass, 1, 0);
    if (plan.cycles) plan.to_go = to_go_now + 2L * per_pass * *plan.cycles;
  } else {
    cycle = last.cycle;
    pass = last.pass;
    plan.passes_painted = 2 * (cycle - 1) + (pass == pass_direction::downward ? 1 : 0);
    const long done = (last.row - 1) * (1 + points) + 1 + last.point;
    to_go_now = per_pass - done;
    if (to_go_now > 0) {
      plan.next = last.point < points ? place_text(cycle, pass, last.row, last.point + 1)
                                      : place_text(cycle, pass, last.row + 1, 0);
    } else if (pass == pass_direction::upward) {
      plan.next = place_text(cycle, pass_direction::downward, 1, 0);
    } else {
      plan.next = place_text(cycle + 1, pass_direction::upward, 1, 0);
    }
    if (plan.cycles)
      plan.to_go = to_go_now + (pass == pass_direction::upward ? per_pass : 0) +
                   2L * per_pass * (*plan.cycles - cycle);
  }
  if (plan.to_go == 0) plan.next = "the end of " + place_text(cycle, pass, last.row, last.point);
  return plan;
}

std::string resume_sentence(const resume_plan& plan) {
  return plan.next + ": " + grouped(plan.held) + " readings already kept, " +
         (plan.to_go < 0 ? std::string("Repeat goes on until it is unticked")
                         : grouped(plan.to_go) + " to go");
}

}  // namespace brevane
