#pragma once
// One client's conversation with the instrument: its lines run in order, its answers go back
// one line per program message, and its errors wait in its own queue for SYSTem:ERRor?.
//
// The instrument's device operations run nested event loops, so push() and run() can be
// called again while a command of this session is still inside the instrument. A line that
// arrives then waits in the queue until the command in progress has ended. A *OPC? waits for
// the operation in progress to end without holding up anyone else: this session's lines wait
// behind it, other sessions go on.
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
  // owner to call run() again soon from the event loop (a *OPC? can be answered).
  remote_session(remote_instrument& instrument, std::function<bool(std::string_view)> send,
                 std::function<void()> wake);

  // Queues one line (without its LF). Runs nothing by itself.
  void push(std::string line);
  // Runs the queued lines in order until none is left or a *OPC? waits. Called while it is
  // already running (from a nested event loop), it returns at once and the outer call goes on.
  void run();

  bool running() const { return running_; }
  bool waiting() const { return opc_ == opc_state::waiting; }
  // Nothing queued, nothing half done and nothing running: the session may go.
  bool idle() const { return !running_ && !line_ && lines_.empty(); }
  std::size_t queued_bytes() const { return queued_bytes_; }

  // The client left: its answers go nowhere and a *OPC? waits no longer, but the lines it
  // sent before it left still run. Call run() after it.
  void detach();
  // The connection was closed for misbehaving: what it sent and has not started is dropped.
  void discard();

 private:
  enum class step { next, stop, wait };
  enum class opc_state { none, waiting, ready };

  void run_line();
  void end_line();
  step execute(const parsed_command& c);
  step wait_for_operation();
  step setting(const parsed_command& c);
  step read_data(const parsed_command& c);
  step finished(const outcome& result);
  step fail(scpi_error code, std::string_view detail);
  bool whole(const parsed_command& c, std::size_t i, long long low, long long high,
             long long& value);
  // An answer, after a ';' when the line has answered before; raw bytes go as they are.
  void reply(std::string_view text, bool raw = false);

  remote_instrument& instrument_;
  std::function<bool(std::string_view)> send_;
  std::function<void()> wake_;
  error_queue errors_;

  std::deque<std::string> lines_;
  std::size_t queued_bytes_ = 0;
  // The line being run, the next of its commands, and whether it has answered yet.
  std::optional<parsed_line> line_;
  std::size_t next_ = 0;
  bool answered_ = false;

  bool running_ = false;
  bool detached_ = false;
  bool dropped_ = false;
  opc_state opc_ = opc_state::none;
  // Tells a late operation_complete call whether this session and its *OPC? are still there.
  unsigned opc_generation_ = 0;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace brevane::remote
