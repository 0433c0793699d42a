#include "app/command_line.h"

#include <algorithm>
#include <iterator>

#include "scan/sweep_plan.h"

namespace brevane {

namespace {

std::optional<int> whole_number(const QString& text, int min, int max) {
  bool ok = false;
  const int v = text.toInt(&ok);
  if (!ok || v < min || v > max) return std::nullopt;
  return v;
}

}  // namespace

std::optional<std::pair<QHostAddress, int>> parse_allowed_address(const QString& text,
                                                                  std::string* why) {
  const auto fail = [&](const std::string& reason) -> std::optional<std::pair<QHostAddress, int>> {
    if (why)
      *why = "--listen-allow takes ADDR[/BITS], not \"" + text.toStdString() + "\": " + reason;
    return std::nullopt;
  };
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  const QHostAddress address(slash < 0 ? text : text.left(slash));
  if (address.isNull()) return fail("not an IPv4 or IPv6 address");
  const int width = address.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32;
  int bits = width;
  if (slash >= 0) {
    bool ok = false;
    bits = QStringView(text).mid(slash + 1).toInt(&ok);
    if (!ok || bits < 0 || bits > width) return fail("BITS is 0 to " + std::to_string(width));
  }
  return std::pair{address, bits};
}

std::optional<listen_address> parse_listen_address(const QString& text, std::string* why) {
  const auto fail = [&](const std::string& reason) -> std::optional<listen_address> {
    if (why) *why = "--listen takes [ADDR:]PORT, not \"" + text.toStdString() + "\": " + reason;
    return std::nullopt;
  };
  listen_address where;
  QString port = text;
  const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
  if (colon >= 0) {
    QString host = text.left(colon);
    port = text.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
      host = host.mid(1, host.size() - 2);
      if (!host.contains(QLatin1Char(':'))) return fail("only an IPv6 address goes in brackets");
    } else if (host.contains(QLatin1Char(':'))) {
      return fail("an IPv6 address goes in brackets, as [::1]:5025");
    }
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
      where.address = QHostAddress(QHostAddress::LocalHost);
    } else if (!where.address.setAddress(host)) {
      const std::string named = host.toStdString();
      return fail("\"" + named + "\" is no IP address");
    }
  }
  bool ok = false;
  const uint number = port.toUInt(&ok);
  if (!ok || number > 65535) return fail("the port is a whole number from 0 to 65535");
  where.port = static_cast<quint16>(number);
  return where;
}

const QString& command_line::export_file(export_format format) const {
  const auto at = std::find_if(std::begin(export_kinds), std::end(export_kinds),
                               [&](const export_kind& k) { return k.format == format; });
  return exports[static_cast<std::size_t>(at - std::begin(export_kinds))];
}

bool command_line::any_export() const {
  return std::any_of(exports.begin(), exports.end(),
                     [](const QString& file) { return !file.isEmpty(); });
}

std::optional<command_line> parse_command_line(const QStringList& arguments, std::string* error) {
  command_line cl;
  bool listen_option = false;
  auto fail = [&](const std::string& why) -> std::optional<command_line> {
    if (error) *error = why;
    return std::nullopt;
  };
  for (int i = 0; i < arguments.size(); ++i) {
    QString arg = arguments[i];
    QString inline_value;
    bool has_inline = false;
    if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
      const int eq = static_cast<int>(arg.indexOf(QLatin1Char('=')));
      inline_value = arg.mid(eq + 1);
      arg = arg.left(eq);
      has_inline = true;
    }
    auto value = [&](QString* out) -> bool {
      if (has_inline) {
        *out = inline_value;
        return true;
      }
      if (i + 1 >= arguments.size()) return false;
      *out = arguments[++i];
      return true;
    };
    QString v;
    if (arg == QLatin1String("--simulate")) {
      std::string why;
      auto options = device::parse_simulated_head_options(
          has_inline ? inline_value.toStdString() : std::string(), &why);
      if (!options) return fail(why);
      cl.simulate = *options;
    } else if (arg == QLatin1String("--trace")) {
      if (!value(&v) || v.isEmpty()) return fail("--trace needs a file name");
      cl.trace_file = v;
    } else if (arg == QLatin1String("--echo-timeout")) {
      if (!value(&v)) return fail("--echo-timeout needs a number of milliseconds");
      auto ms = whole_number(v, device::min_echo_timeout_ms, device::max_echo_timeout_ms);
      if (!ms)
        return fail("--echo-timeout takes " + std::to_string(device::min_echo_timeout_ms) + " to " +
                    std::to_string(device::max_echo_timeout_ms) + " milliseconds, not \"" +
                    v.toStdString() + "\"");
      cl.echo_timeout_ms = *ms;
    } else if (arg == QLatin1String("--sweep") && !has_inline) {
      cl.sweep = true;
    } else if (arg == QLatin1String("--cycles")) {
      if (!value(&v)) return fail("--cycles needs a number");
      auto n = whole_number(v, 1, 1000000);
      if (!n) return fail("--cycles takes a whole number from 1, not \"" + v.toStdString() + "\"");
      cl.cycles = *n;
    } else if (arg == QLatin1String("--log-data") && !has_inline) {
      cl.log_data = true;
    } else if (arg == QLatin1String("--log-images") && !has_inline) {
      cl.log_images = true;
    } else if (arg == QLatin1String("--upload-list")) {
      if (!value(&v) || v.isEmpty()) return fail("--upload-list needs a file name");
      cl.upload_list = v;
    } else if (arg == QLatin1String("--data-folder")) {
      if (!value(&v) || v.isEmpty()) return fail("--data-folder needs a folder name");
      cl.data_folder = v;
    } else if (arg == QLatin1String("--open")) {
      if (!value(&v) || v.isEmpty()) return fail("--open needs a scan record's file name");
      cl.open_record = v;
    } else if (arg == QLatin1String("--cycle")) {
      if (!value(&v)) return fail("--cycle needs a number");
      auto n = whole_number(v, 1, 1000000);
      if (!n) return fail("--cycle takes a whole number from 1, not \"" + v.toStdString() + "\"");
      cl.cycle = *n;
    } else if (const auto kind = std::find_if(std::begin(export_kinds), std::end(export_kinds),
                                              [&](const export_kind& k) {
                                                return arg ==
                                                       QString::fromStdString(export_option(k));
                                              });
               kind != std::end(export_kinds)) {
      if (!value(&v) || v.isEmpty()) return fail(export_option(*kind) + " needs a file name");
      cl.exports[static_cast<std::size_t>(kind - std::begin(export_kinds))] = v;
    } else if (arg == QLatin1String("--palette")) {
      if (!value(&v) || (v != QLatin1String("colour") && v != QLatin1String("grey")))
        return fail("--palette takes colour or grey" +
                    (v.isEmpty() ? std::string() : ", not \"" + v.toStdString() + "\""));
      cl.palette = v == QLatin1String("grey") ? palette_kind::grey : palette_kind::colour;
      cl.palette_given = true;
    } else if ((arg == QLatin1String("--help") || arg == QLatin1String("-h")) && !has_inline) {
      cl.help = true;
    } else if (arg == QLatin1String("--version") && !has_inline) {
      cl.version = true;
    } else if (arg == QLatin1String("--resume-within")) {
      if (!value(&v)) return fail("--resume-within needs a number of seconds");
      auto s = whole_number(v, 0, 86400);
      if (!s)
        return fail("--resume-within takes 0 to 86400 seconds, not \"" + v.toStdString() + "\"");
      cl.resume_within_s = *s;
    } else if (arg == QLatin1String("--resume")) {
      if (!value(&v) || v.isEmpty()) return fail("--resume needs a scan record");
      cl.resume_record = v;
    } else if (arg == QLatin1String("--resume-on-any-head") && !has_inline) {
      cl.resume_on_any_head = true;
    } else if (arg == QLatin1String("--device")) {
      if (!value(&v) || v.isEmpty()) return fail("--device needs a serial number or device path");
      cl.device = v;
    } else if (arg == QLatin1String("--list-devices") && !has_inline) {
      cl.list_devices = true;
    } else if (arg == QLatin1String("--plan")) {
      if (!value(&v) || v.isEmpty()) return fail("--plan needs a plan file or a scan record");
      cl.plan_file = v;
    } else if (arg == QLatin1String("--set")) {
      if (!value(&v)) return fail("--set needs KEY=VALUE, for example xmin=110");
      // Checked here, so a bad value is refused before anything starts.
      sweep_settings scratch = start_settings();
      const std::string why = set_sweep_setting(scratch, v.toStdString());
      if (!why.empty()) return fail("--set " + v.toStdString() + ": " + why);
      cl.settings << v;
    } else if (arg == QLatin1String("--save-plan")) {
      if (!value(&v) || v.isEmpty()) return fail("--save-plan needs a file name");
      cl.save_plan = v;
    } else if (arg == QLatin1String("--dry-run")) {
      cl.dry_run = true;
      if (has_inline) {
        bool ok = false;
        const double ms = inline_value.toDouble(&ok);
        if (!ok || !(ms >= 0 && ms <= device::max_echo_timeout_ms))
          return fail("--dry-run=MS takes the milliseconds of one answered exchange, from 0 to " +
                      std::to_string(device::max_echo_timeout_ms) + ", not \"" +
                      inline_value.toStdString() + "\"");
        cl.dry_run_ms = ms;
      }
    } else if (arg == QLatin1String("--alarm")) {
      if (!value(&v) || v.isEmpty())
        return fail("--alarm needs temperature_f>VALUE or distance_in<VALUE");
      std::string why;
      const auto alarm = parse_sweep_alarm(v.toStdString(), &why);
      if (!alarm) return fail("--alarm \"" + v.toStdString() + "\": " + why);
      std::optional<double>& threshold = cl.alarms.threshold(alarm->reading);
      if (threshold)
        return fail("--alarm \"" + v.toStdString() + "\": " + alarm_key(alarm->reading) +
                    " has an alarm already, at " + threshold_text(*threshold));
      threshold = alarm->threshold;
    } else if (arg == QLatin1String("--progress") && !has_inline) {
      cl.progress = true;
    } else if (arg == QLatin1String("--listen")) {
      // The address may be left out, so a next argument that is an option is not its value.
      QString where = inline_value;
      if (!has_inline && i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-')))
        where = arguments[++i];
      if (has_inline || !where.isEmpty()) {
        std::string why;
        auto address = parse_listen_address(where, &why);
        if (!address) return fail(why);
        cl.listen = *address;
      } else {
        cl.listen = listen_address{};
      }
    } else if (arg == QLatin1String("--no-window") && !has_inline) {
      cl.no_window = true;
    } else if (arg == QLatin1String("--listen-idle")) {
      if (!value(&v)) return fail("--listen-idle needs a number of seconds");
      auto s = whole_number(v, 1, 86400);
      if (!s)
        return fail("--listen-idle takes 1 to 86400 seconds, not \"" + v.toStdString() + "\"");
      cl.listen_idle_s = *s;
      listen_option = true;
    } else if (arg == QLatin1String("--listen-allow")) {
      if (!value(&v)) return fail("--listen-allow needs ADDR[/BITS]");
      std::string why;
      auto allowed = parse_allowed_address(v, &why);
      if (!allowed) return fail(why);
      cl.listen_allow.push_back(*allowed);
      listen_option = true;
    } else {
      return fail("unknown option \"" + arguments[i].toStdString() + "\"");
    }
  }
  if (!cl.device.isEmpty() && cl.simulate)
    return fail("--device chooses a USB head; it cannot be combined with --simulate");
  if (cl.sweep && !cl.upload_list.isEmpty())
    return fail("--sweep and --upload-list cannot be combined");
  if (!cl.open_record.isEmpty() && (cl.sweep || !cl.upload_list.isEmpty()))
    return fail("--open cannot be combined with --sweep or --upload-list");
  if (cl.open_record.isEmpty() && cl.cycle) return fail("--cycle needs --open FILE");
  for (const export_kind& k : export_kinds)
    if (!cl.export_file(k.format).isEmpty() && cl.open_record.isEmpty() &&
        !(k.with_sweep && cl.sweep))
      return fail(export_option(k) +
                  (k.with_sweep ? " needs --sweep or --open FILE" : " needs --open FILE"));
  if (cl.palette_given && cl.export_file(export_format::png).isEmpty())
    return fail("--palette chooses the colours of --export-png; it needs --export-png FILE");
  if (cl.alarms.any() && !cl.sweep)
    return fail("--alarm needs --sweep; in the window the Maps window sets the alarms");
  if ((cl.dry_run || cl.progress) && !cl.sweep)
    return fail(std::string(cl.dry_run ? "--dry-run" : "--progress") + " needs --sweep");
  if (!cl.save_plan.isEmpty() &&
      (cl.sweep || !cl.upload_list.isEmpty() || !cl.open_record.isEmpty()))
    return fail(
        "--save-plan writes the plan and exits; it cannot be combined with --sweep, "
        "--upload-list or --open");
  if (cl.no_window && !cl.listen) return fail("--no-window needs --listen [ADDR:]PORT");
  if (listen_option && !cl.listen)
    return fail("--listen-idle and --listen-allow need --listen [ADDR:]PORT");
  if (!cl.listen_allow.empty() && cl.listen->address.isLoopback())
    return fail("--listen-allow is for a listener beyond loopback; --listen names " +
                cl.listen->address.toString().toStdString());
  if (!cl.resume_record.isEmpty() && (!cl.sweep || cl.dry_run || cl.plan_given()))
    return fail(
        "--resume needs --sweep, and takes its settings from the record: it cannot be "
        "combined with --dry-run, --plan or --set");
  if (cl.resume_on_any_head && cl.resume_record.isEmpty())
    return fail("--resume-on-any-head needs --resume RECORD");
  if (cl.listen && (cl.headless_job() || cl.dry_run))
    return fail(
        "--listen runs the program for remote clients; it cannot be combined with --sweep, "
        "--upload-list, --save-plan or an export");
  return cl;
}

}  // namespace brevane
