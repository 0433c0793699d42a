#pragma once
// One client's conversation with the instrument: its lines run in order and its answers go
// back one line per program message. Its errors go to the instrument's one queue, which every
// client shares, as on a bench instrument.
//
// The instrument's device operations run nested event loops, so push() and run() can be
// called again while a command of this session is still inside the instrument. A line that
// arrives then waits in the queue until the command in progress has ended.
//
// *OPC? never stops the parser: the commands after it run at once, and their answers are held
// behind its "1" until the operation in progress ends, so answers leave in the order of their
// queries. *WAI, and ABORt while the operation it ends unwinds, do hold this session's later
// commands, so ABOR;SWE:STAT? reports how the sweep ended; other sessions go on meanwhile.
//
// The first error on a line ends that line: the commands after it do not run, so a script's
// later commands never act on a setting that was refused. The answers already given are sent.

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "remote/instrument_status.h"
#include "remote/scpi_errors.h"
#include "remote/scpi_parser.h"

namespace brevane::remote {

class remote_instrument;
struct outcome;

// At most this many readings per DATA:READ?, so one answer stays well under the output bound.
inline constexpr int max_readings_per_read = 5000;

class remote_session {
 public:
  // send takes bytes for the client and returns false once the client is gone. wake asks the
  // owner to call run() again soon from the event loop (a held answer can go, a wait is over).
  remote_session(remote_instrument& instrument, instrument_status& status,
                 std::function<bool(std::string_view)> send, std::function<void()> wake);

  // Queues one line (without its LF). Runs nothing by itself.
  void push(std::string line);
  // Runs the queued lines in order until none is left or a wait holds them. Called while it
  // is already running (from a nested event loop), it returns at once and the outer call goes
  // on.
  void run();

  bool running() const { return running_; }
  // *WAI or ABORt holds the later commands until the operation in progress ends.
  bool waiting() const { return blocked_; }
  // Nothing queued, nothing half done, nothing held and nothing running: the session may go.
  bool idle() const { return !running_ && !line_ && lines_.empty() && held_.empty() && !blocked_; }
  std::size_t queued_bytes() const { return queued_bytes_; }

  // The client left: its answers go nowhere and nothing waits any longer, but the lines it
  // sent before it left still run. Call run() after it.
  void detach();
  // The connection was closed for misbehaving: what it sent and has not started is dropped.
  void discard();

 private:
  enum class step { next, stop, wait };

  void run_line();
  void end_line();
  step execute(const parsed_command& c);
  step status_command(const parsed_command& c);
  step opc_query();
  step wait_until_idle();
  step setting(const parsed_command& c);
  step read_data(const parsed_command& c);
  step finished(const outcome& result);
  step fail(scpi_error code, std::string_view detail);
  bool whole(const parsed_command& c, std::size_t i, long long low, long long high,
             long long& value);
  // An answer, after a ';' when the line has answered before; raw bytes go as they are.
  void reply(std::string_view text, bool raw = false);
  void write(std::string piece, bool ready);
  // Sends the held answers that are ready, in order, up to the first that is not.
  void flush();

  remote_instrument& instrument_;
  instrument_status& status_;
  std::function<bool(std::string_view)> send_;
  std::function<void()> wake_;

  std::deque<std::string> lines_;
  std::size_t queued_bytes_ = 0;
  // The line being run, the next of its commands, and whether it has answered yet.
  std::optional<parsed_line> line_;
  std::size_t next_ = 0;
  bool answered_ = false;

  // Answers held behind a *OPC? whose operation has not ended; held_base_ counts those sent.
  struct held_piece {
    std::string text;
    bool ready = false;
  };
  std::deque<held_piece> held_;
  unsigned long long held_base_ = 0;

  bool running_ = false;
  bool detached_ = false;
  bool dropped_ = false;
  bool blocked_ = false;
  // Tells a late operation_complete call whether what it was for is still there.
  unsigned generation_ = 0;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace brevane::remote
