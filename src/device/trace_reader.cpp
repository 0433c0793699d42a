#include "device/trace_reader.h"

#include <QFile>
#include <vector>

#include "common/file_input.h"
#include "common/line_splitter.h"

namespace brevane::device {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A piece of a refused line, safe to print on one terminal line whatever the file held.
std::string shown(std::string_view text) {
  constexpr std::size_t most = 40;
  std::string s;
  for (char c : text.substr(0, most))
    s += (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f) ? c : '?';
  if (text.size() > most) s += "...";
  return "\"" + s + "\"";
}

bool fail(std::string* error, int line, const std::string& why) {
  if (error) *error = "line " + std::to_string(line) + ": " + why;
  return false;
}

}  // namespace

std::string hex_bytes(const std::uint8_t* bytes, std::size_t n) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) text += ' ';
    text += hex[bytes[i] >> 4];
    text += hex[bytes[i] & 0xf];
  }
  return text;
}

bool trace_reader::add_line(std::string_view text, std::string* error) {
  ++line_;
  // Tolerated, so a trace that passed through a Windows editor still reads.
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (text.size() > trace_line_limit)
    return fail(error, line_, "longer than " + std::to_string(trace_line_limit) + " characters");

  if (text.starts_with('#')) {
    std::string_view comment = text.substr(1);
    while (!comment.empty() && comment.front() == ' ') comment.remove_prefix(1);
    while (!comment.empty() && comment.back() == ' ') comment.remove_suffix(1);
    if (comment.starts_with("Brevane ")) {
      // Appending a second run to the same file makes one file of two sessions; replaying
      // them as one would refuse at the seam for no visible reason.
      if (has_reports_)
        return fail(error, line_,
                    "a second recorded session starts here; record each session into a file of "
                    "its own");
      session_ = {};  // an earlier run that sent nothing leaves only its plug events
    } else if (comment == "unplugged" || comment == "plugged") {
      trace_step step;
      step.what = comment == "plugged" ? trace_step::kind::plugged : trace_step::kind::unplugged;
      step.line = line_;
      session_.steps.push_back(step);
    }
    return true;
  }

  trace_step step;
  step.line = line_;
  std::size_t expected = 0;
  std::string_view rest;
  if (text.starts_with("out ") || text == "out") {
    step.what = trace_step::kind::out;
    expected = output_report_size;
    rest = text.substr(3);
  } else if (text.starts_with("in ") || text == "in") {
    step.what = trace_step::kind::in;
    expected = input_report_size;
    rest = text.substr(2);
  } else {
    return fail(error, line_, shown(text) + " is neither an out line, an in line nor a # comment");
  }

  std::size_t count = 0;
  while (!rest.empty()) {
    if (rest.front() == ' ' || rest.front() == '\t') {
      rest.remove_prefix(1);
      continue;
    }
    const std::size_t end = rest.find_first_of(" \t");
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(token.size());
    if (token.size() != 2 || hex_digit(token[0]) < 0 || hex_digit(token[1]) < 0)
      return fail(error, line_, shown(token) + " is not a byte in two hex digits");
    if (count < step.bytes.size())
      step.bytes[count] = static_cast<std::uint8_t>(hex_digit(token[0]) * 16 + hex_digit(token[1]));
    ++count;
  }
  if (count != expected) {
    return fail(error, line_,
                std::string(step.what == trace_step::kind::out ? "an out" : "an in") +
                    " line holds " + std::to_string(expected) + " bytes, this one " +
                    std::to_string(count));
  }
  if (step.what == trace_step::kind::out) ++session_.reports;
  has_reports_ = true;
  session_.steps.push_back(step);
  return true;
}

std::optional<recorded_session> parse_trace(std::string_view text, std::string* error) {
  trace_reader reader;
  line_splitter lines(trace_line_limit + 1);  // room for a CR
  const auto add = [&](std::string_view line, bool) { return reader.add_line(line, error); };
  if (!lines.add(text, add) || !lines.finish(add)) return std::nullopt;
  return reader.take();
}

std::optional<recorded_session> read_trace(const std::string& path, std::string* error) {
  const std::string name = "the trace " + path;
  const auto refuse = [&](const std::string& why) -> std::optional<recorded_session> {
    if (error) *error = name + " cannot be replayed: " + why;
    return std::nullopt;
  };
  // A FIFO would hold the program before it starts, a device would never end.
  QFile file;
  if (const files::open_result opened = files::open_regular(QFile::decodeName(path.c_str()), file);
      !opened.ok())
    return refuse(opened.why());

  // Line by line with a bound, so a huge binary file is not read whole: a line over the bound
  // is refused as soon as it is seen.
  trace_reader reader;
  std::string why;
  line_splitter lines(trace_line_limit + 1);  // room for a CR
  const auto add = [&](std::string_view line, bool) { return reader.add_line(line, &why); };
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
    if (n < 0) return refuse(file.errorString().toStdString());
    if (n == 0) break;
    if (!lines.add(std::string_view(chunk.data(), static_cast<std::size_t>(n)), add))
      return refuse(why);
  }
  if (!lines.finish(add)) return refuse(why);
  recorded_session session = reader.take();
  if (session.reports == 0) return refuse("it holds no out report");
  return session;
}

}  // namespace brevane::device
