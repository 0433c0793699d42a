#include "remote/scpi_parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "remote/scpi_numbers.h"

namespace brevane::remote {

namespace {

// Texts quoted from the client's line into a detail are kept short.
constexpr std::size_t quoted_bytes = 40;

// IEEE 488.2 white space: every control byte but LF, and the blank.
bool blank(char c) {
  return static_cast<unsigned char>(c) <= 0x20 && c != '\n';
}
bool letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool digit(char c) {
  return c >= '0' && c <= '9';
}
char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

// A node as written against the table's node, which is its long form with the short form in
// upper case: only the long or the short form match, nothing in between.
bool node_matches(std::string_view written, std::string_view node) {
  if (same_letters(written, node)) return true;
  std::size_t i = 0;
  for (char c : node) {
    if (c >= 'a' && c <= 'z') continue;
    if (i == written.size() || upper(written[i]) != c) return false;
    ++i;
  }
  return i == written.size();
}

std::vector<std::string_view> split_nodes(std::string_view header) {
  std::vector<std::string_view> nodes;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= header.size(); ++i) {
    if (i == header.size() || header[i] == ':') {
      nodes.push_back(header.substr(start, i - start));
      start = i + 1;
    }
  }
  return nodes;
}

bool header_matches(std::string_view header, const std::vector<std::string_view>& nodes) {
  std::size_t start = 0;
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    if (start > header.size()) return false;
    const std::size_t end = std::min(header.find(':', start), header.size());
    if (!node_matches(nodes[n], header.substr(start, end - start))) return false;
    start = end + 1;
  }
  return start == header.size() + 1;
}

const command_row* find_row(const std::vector<command_row>& table,
                            const std::vector<std::string_view>& nodes) {
  for (const command_row& row : table)
    if (header_matches(row.header, nodes)) return &row;
  return nullptr;
}

// The nodes without a numeric suffix (SWEep1 is SWEep), and whether any had one.
bool without_suffixes(std::vector<std::string_view>& nodes) {
  bool any = false;
  for (std::string_view& node : nodes) {
    std::size_t end = node.size();
    while (end > 1 && digit(node[end - 1])) --end;
    if (end == node.size() || !letter(node[end - 1])) continue;
    node = node.substr(0, end);
    any = true;
  }
  return any;
}

// MINimum, MAXimum or DEFault as written, as SCPI's numeric parameters allow them.
enum class limit { none, low, high, reset };

limit limit_of(std::string_view text) {
  if (node_matches(text, "MINimum")) return limit::low;
  if (node_matches(text, "MAXimum")) return limit::high;
  if (node_matches(text, "DEFault")) return limit::reset;
  return limit::none;
}

// The value a limit stands for; NaN for a default of OFF.
double limit_value(limit which, const numeric_range& range) {
  if (which == limit::low) return range.low;
  if (which == limit::high) return range.high;
  return range.reset.value_or(std::numeric_limits<double>::quiet_NaN());
}

// Where the character at position i ends, so a cut never splits it.
std::size_t after_character(std::string_view text, std::size_t i) {
  if (i >= text.size()) return text.size();
  ++i;
  while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xc0) == 0x80) ++i;
  return i;
}

std::string quoted(std::string_view text) {
  return cut_utf8(text, quoted_bytes);
}

std::string whole(double v) {
  return std::to_string(static_cast<long long>(v));
}

std::string count_text(std::size_t n) {
  if (n == 0) return "no parameters";
  return std::to_string(n) + (n == 1 ? " parameter" : " parameters");
}

struct token {
  std::string_view text;
  bool quoted = false;
};

class line_parser {
 public:
  line_parser(std::string_view line, const std::vector<command_row>& table)
      : line_(line), table_(table) {}

  parsed_line run() {
    skip_blanks();
    if (at_end()) return std::move(out_);
    while (true) {
      if (!command_unit()) break;
      skip_blanks();
      if (at_end()) break;
      // command_unit stops only at the end or at a ';'.
      ++pos_;
      skip_blanks();
      if (at_end()) break;  // a ';' before the end of the line is let be
      if (line_[pos_] == ';') {
        fail(scpi_error::command, "empty command between ';'");
        break;
      }
    }
    return std::move(out_);
  }

 private:
  bool at_end() const { return pos_ >= line_.size(); }
  void skip_blanks() {
    while (!at_end() && blank(line_[pos_])) ++pos_;
  }
  bool fail(scpi_error code, std::string detail) {
    out_.error = error_entry{code, std::move(detail)};
    return false;
  }

  // One command; false when it ended in an error.
  bool command_unit() {
    const std::size_t start = pos_;
    bool rooted = false;
    if (line_[pos_] == ':') {
      rooted = true;
      ++pos_;
    }
    std::vector<std::string_view> nodes;
    bool common = false;
    if (!at_end() && line_[pos_] == '*' && !rooted) {
      common = true;
      const std::size_t begin = pos_++;
      while (!at_end() && letter(line_[pos_])) ++pos_;
      if (pos_ == begin + 1) return bad_header(start);
      nodes.push_back(line_.substr(begin, pos_ - begin));
    } else {
      while (true) {
        const std::size_t begin = pos_;
        if (at_end() || !letter(line_[pos_])) return bad_header(start);
        while (!at_end() && (letter(line_[pos_]) || digit(line_[pos_]) || line_[pos_] == '_'))
          ++pos_;
        nodes.push_back(line_.substr(begin, pos_ - begin));
        if (at_end() || line_[pos_] != ':') break;
        ++pos_;
      }
    }
    parsed_command parsed;
    if (!at_end() && line_[pos_] == '?') {
      parsed.query = true;
      ++pos_;
    }
    if (!at_end() && !blank(line_[pos_]) && line_[pos_] != ';') return bad_header(start);
    parsed.header = quoted(line_.substr(start, pos_ - start));

    const command_row* row = lookup(nodes, rooted || common);
    if (row == nullptr && without_suffixes(nodes) && lookup(nodes, rooted || common) != nullptr)
      return fail(scpi_error::header_suffix, parsed.header + ": this header takes no number");
    const command_form* form = row == nullptr ? nullptr : parsed.query ? &row->query : &row->set;
    if (form == nullptr || !form->allowed) return fail(scpi_error::undefined_header, parsed.header);
    parsed.row = row;
    if (!common) {
      path_ = split_nodes(row->header);
      path_.pop_back();
    }
    if (!arguments(*form, parsed)) return false;
    out_.commands.push_back(std::move(parsed));
    return true;
  }

  // The row of a header: under the previous command's node first, then from the root.
  const command_row* lookup(const std::vector<std::string_view>& nodes, bool from_root) const {
    if (!from_root && !path_.empty()) {
      auto relative = path_;
      relative.insert(relative.end(), nodes.begin(), nodes.end());
      if (const command_row* row = find_row(table_, relative)) return row;
    }
    return find_row(table_, nodes);
  }

  bool bad_header(std::size_t start) {
    const std::size_t end = after_character(line_, pos_);
    return fail(scpi_error::command, "not a header: " + quoted(line_.substr(start, end - start)));
  }

  bool arguments(const command_form& form, parsed_command& parsed) {
    skip_blanks();
    const bool json = !form.arguments.empty() && form.arguments.back() == argument::json;
    if (json) {
      std::size_t end = line_.size();
      while (end > pos_ && blank(line_[end - 1])) --end;
      if (end == pos_)
        return fail(scpi_error::missing_parameter, parsed.header + " takes a JSON plan");
      parsed.parameters.push_back({0.0, false, std::string(line_.substr(pos_, end - pos_))});
      pos_ = line_.size();
      return true;
    }
    std::vector<token> tokens;
    if (!at_end() && line_[pos_] != ';') {
      while (true) {
        token t;
        if (!next_token(parsed, t)) return false;
        tokens.push_back(t);
        skip_blanks();
        if (at_end() || line_[pos_] == ';') break;
        if (line_[pos_] != ',')
          return fail(scpi_error::command, parsed.header + ": ',' expected between parameters");
        ++pos_;
        skip_blanks();
        if (at_end() || line_[pos_] == ';' || line_[pos_] == ',')
          return fail(scpi_error::missing_parameter, parsed.header + ": a parameter after ','");
      }
    }
    const std::size_t want = form.arguments.size();
    if (parsed.query && want == 0 && tokens.size() == 1 && parsed.row->range) {
      const limit which = tokens[0].quoted ? limit::none : limit_of(tokens[0].text);
      if (which == limit::none)
        return fail(scpi_error::illegal_parameter,
                    parsed.header + " " + quoted(tokens[0].text) + ": MIN, MAX or DEF expected");
      parsed.asked = limit_value(which, *parsed.row->range);
      return true;
    }
    if (tokens.size() > want)
      return fail(scpi_error::parameter_not_allowed, parsed.header + " takes " + count_text(want));
    if (tokens.size() < want)
      return fail(scpi_error::missing_parameter, parsed.header + " takes " + count_text(want));
    for (std::size_t i = 0; i < want; ++i) {
      parameter p;
      if (!convert(form.arguments[i], tokens[i], parsed, p)) return false;
      parsed.parameters.push_back(std::move(p));
    }
    return true;
  }

  // A quoted string (its quote doubled inside) or a run of characters up to a separator.
  bool next_token(const parsed_command& parsed, token& t) {
    const std::size_t begin = pos_;
    const char quote = line_[pos_];
    if (quote == '"' || quote == '\'') {
      ++pos_;
      while (true) {
        if (at_end())
          return fail(scpi_error::command, parsed.header + ": a string without its end quote");
        if (line_[pos_] == quote) {
          if (pos_ + 1 < line_.size() && line_[pos_ + 1] == quote) {
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        ++pos_;
      }
      t = {line_.substr(begin, pos_ - begin), true};
      return true;
    }
    while (!at_end() && !blank(line_[pos_]) && line_[pos_] != ',' && line_[pos_] != ';') ++pos_;
    t = {line_.substr(begin, pos_ - begin), false};
    return true;
  }

  bool convert(argument kind, const token& t, const parsed_command& parsed, parameter& p) {
    const std::string shown = parsed.header + " " + quoted(t.text);
    const std::optional<numeric_range>& range = parsed.row->range;
    if (range && !t.quoted && kind != argument::boolean) {
      if (const limit which = limit_of(t.text); which != limit::none) {
        p.number = limit_value(which, *range);
        const bool off = std::isnan(p.number);  // a threshold's default is OFF
        if (off && kind != argument::threshold)
          return fail(scpi_error::illegal_parameter, shown + ": no default value");
        p.flag = kind == argument::threshold && !off;
        if (off) p.number = 0.0;
        return true;
      }
    }
    if (kind == argument::count && !t.quoted && node_matches(t.text, "INFinity")) {
      p.number = std::numeric_limits<double>::infinity();
      return true;
    }
    if (kind == argument::boolean && !t.quoted) {
      if (same_letters(t.text, "ON") || same_letters(t.text, "OFF")) {
        p.flag = same_letters(t.text, "ON");
        return true;
      }
    }
    if (kind == argument::threshold && !t.quoted && same_letters(t.text, "OFF")) {
      p.flag = false;
      return true;
    }
    double value = 0.0;
    const number_result read = t.quoted ? number_result::not_a_number : read_number(t.text, value);
    if (read == number_result::out_of_range) return fail(scpi_error::data_out_of_range, shown);
    if (kind == argument::threshold) {
      if (read != number_result::ok)
        return fail(scpi_error::data_type, shown + ": a number or OFF expected");
      p.flag = true;
      p.number = value;
      return true;
    }
    if (kind == argument::boolean) {
      if (read == number_result::ok && (value == 0.0 || value == 1.0)) {
        p.flag = value == 1.0;
        return true;
      }
      return fail(scpi_error::data_type, shown + ": ON, OFF, 1 or 0 expected");
    }
    if (read != number_result::ok)
      return fail(scpi_error::data_type, shown + ": a whole number expected");
    // A decimal is a number of the wrong value, not of the wrong type.
    if (std::trunc(value) != value) {
      if (!range) return fail(scpi_error::data_out_of_range, shown + ": a whole number expected");
      return fail(scpi_error::data_out_of_range,
                  shown + ": a whole number from " + whole(range->low) + " to " +
                      whole(range->high) + (kind == argument::count ? ", or INF" : ""));
    }
    p.number = value;
    return true;
  }

  std::string_view line_;
  const std::vector<command_row>& table_;
  std::size_t pos_ = 0;
  // The node a following header without a leading ':' starts under.
  std::vector<std::string_view> path_;
  parsed_line out_;
};

}  // namespace

parsed_line parse_line(std::string_view line, const std::vector<command_row>& table) {
  return line_parser(line, table).run();
}

}  // namespace brevane::remote
