// The remote language as a client writes it: one table of lines and what each parses to,
// plus the error queue and the cutting of a client's bytes into lines.
#include "remote/scpi_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "remote/line_buffer.h"
#include "remote/scpi_errors.h"

namespace brevane::remote {
namespace {

// The commands in their long form with their parameters, then the error, if any.
std::string shown(const parsed_line& parsed) {
  std::string out;
  for (const parsed_command& c : parsed.commands) {
    if (!out.empty()) out += " ; ";
    out += std::string(c.row->header) + (c.query ? "?" : "");
    if (c.asked) out += std::isnan(*c.asked) ? " =OFF" : " =" + std::to_string(int(*c.asked));
    const auto& arguments = c.query ? c.row->query.arguments : c.row->set.arguments;
    for (std::size_t i = 0; i < c.parameters.size(); ++i) {
      out += i == 0 ? " " : ",";
      switch (arguments[i]) {
        case argument::integer:
        case argument::count:
          out += std::isinf(c.parameters[i].number)
                     ? std::string("INF")
                     : std::to_string(static_cast<long long>(c.parameters[i].number));
          break;
        case argument::boolean:
          out += c.parameters[i].flag ? "ON" : "OFF";
          break;
        case argument::json:
          out += c.parameters[i].text;
          break;
        case argument::threshold:
          out += c.parameters[i].flag ? std::to_string(c.parameters[i].number) : "OFF";
          break;
      }
    }
  }
  if (parsed.error) out += (out.empty() ? "" : " | ") + format_error(*parsed.error);
  return out;
}

TEST(ScpiParser, LinesParseToTheirCommandsOrTheFirstError) {
  const std::vector<std::pair<std::string, std::string>> table = {
      // Forms and case.
      {"*IDN?", "*IDN?"},
      {"*idn?", "*IDN?"},
      {"SWE:STAR", "SWEep:STARt"},
      {"sweep:start", "SWEep:STARt"},
      {"SwEeP:sTaR", "SWEep:STARt"},
      {":MEAS:TEMP?", "MEASure:TEMPerature?"},
      {"ABORT", "ABORt"},
      {"POSITION?", "POSition?"},
      {"SYST:ERR?", "SYSTem:ERRor?"},
      {"SYSTem:ERRor:NEXT?", "SYSTem:ERRor:NEXT?"},
      {"SWE:STAT?", "SWEep:STATe?"},
      {"DATA:COUN?;DATA:REC?", "DATA:COUNt? ; DATA:RECord?"},
      // Only the long or the short form, nothing in between.
      {"POSI?", "-113,\"Undefined header;POSI?\""},
      {"SWEE:STAR", "-113,\"Undefined header;SWEE:STAR\""},
      {"FOO:BAR", "-113,\"Undefined header;FOO:BAR\""},
      // A header only in the form it has.
      {"HOME?", "-113,\"Undefined header;HOME?\""},
      {"*IDN", "-113,\"Undefined header;*IDN\""},
      {"MEAS:TEMP", "-113,\"Undefined header;MEAS:TEMP\""},
      // Several commands; after ';' under the previous node first, then from the root.
      {"SWE:XMIN 110;XMAX 200", "SWEep:XMIN 110 ; SWEep:XMAX 200"},
      {"MEAS:TEMP?;DIST?;:SWE:GAIN?", "MEASure:TEMPerature? ; MEASure:DISTance? ; SWEep:GAIN?"},
      {"SWE:GAIN 5;POS?", "SWEep:GAIN 5 ; POSition?"},
      {"SWE:GAIN 5;*CLS;STAR", "SWEep:GAIN 5 ; *CLS ; SWEep:STARt"},
      {"*IDN?;", "*IDN?"},
      {"*IDN?;;*CLS", "*IDN? | -100,\"Command error;empty command between ';'\""},
      {"*RST;FOO;*CLS", "*RST | -113,\"Undefined header;FOO\""},
      // Parameters and white space.
      {"POS 120,150", "POSition 120,150"},
      {"  POS\t120 , 150  ", "POSition 120,150"},
      {"*IDN?\r", "*IDN?"},
      {"DATA:READ? 0,100", "DATA:READ? 0,100"},
      {"POS 120", "-109,\"Missing parameter;POS takes 2 parameters\""},
      {"POS 120,", "-109,\"Missing parameter;POS: a parameter after ','\""},
      {"POS", "-109,\"Missing parameter;POS takes 2 parameters\""},
      {"POS 1,2,3", "-108,\"Parameter not allowed;POS takes 2 parameters\""},
      {"*IDN? 5", "-108,\"Parameter not allowed;*IDN? takes no parameters\""},
      {"SWE:XMIN 5 6", "-100,\"Command error;SWE:XMIN: ',' expected between parameters\""},
      {"SWE:XMIN,5", "-100,\"Command error;not a header: SWE:XMIN,\""},
      {"SWE&XMIN 5", "-100,\"Command error;not a header: SWE&\""},
      {"123", "-100,\"Command error;not a header: 1\""},
      {"?", "-100,\"Command error;not a header: ?\""},
      // Numbers.
      {"SWE:XMIN 1.2E2", "SWEep:XMIN 120"},
      {"SWE:XMIN +120", "SWEep:XMIN 120"},
      {"SWE:XMIN -.5e1", "SWEep:XMIN -5"},
      {"SWE:XMIN 12.5", "-222,\"Data out of range;SWE:XMIN 12.5: a whole number from 100 to 140\""},
      {"SWE:CYCL 2.5",
       "-222,\"Data out of range;SWE:CYCL 2.5: a whole number from 1 to 1000000, or INF\""},
      {"DATA:READ? 0.5,1", "-222,\"Data out of range;DATA:READ? 0.5: a whole number expected\""},
      // MINimum, MAXimum and DEFault, set and asked; INFinity for a count.
      {"SWE:GAIN MAX;XMIN minimum;ZMAX DEF", "SWEep:GAIN 40 ; SWEep:XMIN 100 ; SWEep:ZMAX 200"},
      {"SWE:GAIN? MAX;STEP? DEF;ALAR:TEMP? DEF",
       "SWEep:GAIN? =40 ; SWEep:STEP? =10 ; SWEep:ALARm:TEMPerature? =OFF"},
      {"SWE:ALAR:DIST MAX;DIST DEF",
       "SWEep:ALARm:DISTance 25800.000000 ; SWEep:ALARm:DISTance OFF"},
      {"SWE:CYCL INF;CYCL infinity;CYCL 7", "SWEep:CYCLes INF ; SWEep:CYCLes INF ; SWEep:CYCLes 7"},
      {"SWE:GAIN MAXI", "-104,\"Data type error;SWE:GAIN MAXI: a whole number expected\""},
      {"SWE:REP MAX", "-104,\"Data type error;SWE:REP MAX: ON, OFF, 1 or 0 expected\""},
      {"*IDN? MAX", "-108,\"Parameter not allowed;*IDN? takes no parameters\""},
      {"SWE:XMIN INF", "-104,\"Data type error;SWE:XMIN INF: a whole number expected\""},
      // A numeric suffix on a header that takes none.
      {"SWEep1:STEP?",
       "-114,\"Header suffix out of range;SWEep1:STEP?: this header takes no number\""},
      {"SWE:STEP2 5", "-114,\"Header suffix out of range;SWE:STEP2: this header takes no number\""},
      {"SWE2X:STEP 5", "-113,\"Undefined header;SWE2X:STEP\""},
      // The status subsystem, with EVENt optional and under the node of the command before.
      {"STAT:OPER?;OPER:EVEN?;:STAT:QUES:COND?",
       "STATus:OPERation? ; STATus:OPERation:EVENt? ; STATus:QUEStionable:CONDition?"},
      {"STAT:QUES:ENAB 512;PTR MAX;NTR?",
       "STATus:QUEStionable:ENABle 512 ; STATus:QUEStionable:PTRansition 32767 ; "
       "STATus:QUEStionable:NTRansition?"},
      {"POS abc,5", "-104,\"Data type error;POS abc: a whole number expected\""},
      {"SWE:XMIN 1e", "-104,\"Data type error;SWE:XMIN 1e: a whole number expected\""},
      {"SWE:XMIN 0x10", "-104,\"Data type error;SWE:XMIN 0x10: a whole number expected\""},
      {"SWE:XMIN inf", "-104,\"Data type error;SWE:XMIN inf: a whole number expected\""},
      {"SWE:XMIN 1e999", "-222,\"Data out of range;SWE:XMIN 1e999\""},
      // Booleans and strings.
      {"SWE:SON OFF", "SWEep:SONic OFF"},
      {"swe:son on;REP 0;TEMP 1", "SWEep:SONic ON ; SWEep:REPeat OFF ; SWEep:TEMPerature ON"},
      {"SWE:SON 2", "-104,\"Data type error;SWE:SON 2: ON, OFF, 1 or 0 expected\""},
      {"SWE:SON 'ON'", "-104,\"Data type error;SWE:SON 'ON': ON, OFF, 1 or 0 expected\""},
      {"SWE:XMIN \"1;2\";*RST",
       "-104,\"Data type error;SWE:XMIN \"\"1;2\"\": a whole number expected\""},
      {"SWE:XMIN \"12", "-100,\"Command error;SWE:XMIN: a string without its end quote\""},
      // Alarm thresholds: a number or OFF; TEMP under ALARm is not the Temp Off box.
      {"SWE:ALAR:TEMP 90.5;DIST off",
       "SWEep:ALARm:TEMPerature 90.500000 ; SWEep:ALARm:DISTance OFF"},
      {"SWE:ALAR:TEMP?;:SWE:TEMP?", "SWEep:ALARm:TEMPerature? ; SWEep:TEMPerature?"},
      {"SWE:ALAR:DIST hot", "-104,\"Data type error;SWE:ALAR:DIST hot: a number or OFF expected\""},
      {"SWE:ALAR 90", "-113,\"Undefined header;SWE:ALAR\""},
      // A plan is the rest of its line.
      {"SWE:PLAN {\"xmin\": 110, \"step\": 5}", "SWEep:PLAN {\"xmin\": 110, \"step\": 5}"},
      {"SWE:XMIN 110;PLAN {\"a\":1};*IDN?", "SWEep:XMIN 110 ; SWEep:PLAN {\"a\":1};*IDN?"},
      {"SWE:PLAN?", "SWEep:PLAN?"},
      {"SWE:PLAN  ", "-109,\"Missing parameter;SWE:PLAN takes a JSON plan\""},
      // Nothing to do.
      {"", ""},
      {" \t ", ""},
  };
  for (const auto& [line, want] : table) EXPECT_EQ(shown(parse_line(line)), want) << line;
}

TEST(ScpiParser, DetailsAreShortAndStayOneLineOfText) {
  const std::string header(300, 'A');
  const auto parsed = parse_line(header + "\xc3\xa9");
  ASSERT_TRUE(parsed.error);
  EXPECT_EQ(parsed.error->code, scpi_error::command);
  const std::string text = format_error(*parsed.error);
  EXPECT_LT(text.size(), 80u);
  EXPECT_EQ(format_error({scpi_error::execution, "a\nb\"c"}), "-200,\"Execution error;a b\"\"c\"");
}

TEST(ErrorQueue, OldestFirstBoundedWithOverflowLastAndClearedByCls) {
  error_queue queue;
  EXPECT_EQ(format_error(queue.pop()), "0,\"No error\"");
  for (int i = 0; i < 25; ++i) queue.push(scpi_error::undefined_header, "H" + std::to_string(i));
  EXPECT_EQ(queue.size(), error_queue::capacity);
  for (int i = 0; i < 19; ++i)
    EXPECT_EQ(format_error(queue.pop()), "-113,\"Undefined header;H" + std::to_string(i) + "\"");
  EXPECT_EQ(format_error(queue.pop()), "-350,\"Queue overflow\"");
  EXPECT_EQ(format_error(queue.pop()), "0,\"No error\"");
  queue.push(scpi_error::execution, "x");
  queue.clear();
  EXPECT_EQ(queue.pop().code, scpi_error::none);
}

TEST(LineBuffer, CutsLinesAndRefusesWhatIsNotText) {
  using status = line_buffer::status;
  struct row {
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
    status end;
  };
  const std::string longest(max_line_bytes, 'A');
  const std::vector<row> table = {
      {{"*IDN?\n*CLS\r\nPOS?"}, {"*IDN?", "*CLS"}, status::ok},
      {{"*ID", "N?", "\r", "\n"}, {"*IDN?"}, status::ok},
      {{"\n\r\n"}, {"", ""}, status::ok},
      {{"a\tb\xc3", "\xa9\xe2\x82\xac\xf0\x9f\x98\x80\n"},
       {"a\tb\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
       status::ok},
      {{"*IDN?\n", std::string("A\0B", 3)}, {"*IDN?"}, status::not_text},
      {{"\x1b[A\n"}, {}, status::not_text},
      {{"\x7f\n"}, {}, status::not_text},
      {{"\xc2\x85\n"}, {}, status::not_text},          // NEL, a control character
      {{"\xc0\xaf\n"}, {}, status::not_text},          // overlong '/'
      {{"\xed\xa0\x80\n"}, {}, status::not_text},      // a surrogate
      {{"\xf4\x90\x80\x80\n"}, {}, status::not_text},  // past U+10FFFF
      {{"\xc3\n"}, {}, status::not_text},              // a character cut by the line's end
      {{"\xff"}, {}, status::not_text},
      {{longest + "\r\n"}, {longest}, status::ok},
      {{longest, "\r", "\n"}, {longest}, status::ok},
      {{longest + "A"}, {}, status::ok},
      {{longest + "AB"}, {}, status::too_long},
      {{longest + "A\n"}, {}, status::too_long},
  };
  for (const row& r : table) {
    line_buffer buffer;
    std::vector<std::string> lines;
    status end = status::ok;
    for (const std::string& chunk : r.chunks)
      end = buffer.feed(chunk, [&lines](std::string&& line) { lines.push_back(line); });
    EXPECT_EQ(lines, r.lines) << r.chunks.front().substr(0, 20);
    EXPECT_EQ(end, r.end) << r.chunks.front().substr(0, 20);
  }
}

}  // namespace
}  // namespace brevane::remote
