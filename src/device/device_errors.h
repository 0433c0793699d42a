#pragma once
// The ways a device operation can end early. They are thrown from the echo wait and caught at
// the top of each handler, which shows the message in the caption and the status bar.

#include <stdexcept>
#include <string>

namespace brevane::device {

class device_error : public std::runtime_error {
 public:
  device_error(const std::string& command, const std::string& caption, const std::string& message)
      : std::runtime_error(message), command_(command), caption_(caption) {}
  // What got no answer, in words: "the temperature reading".
  const std::string& command() const { return command_; }
  // Short text for the window caption.
  const std::string& caption() const { return caption_; }

 private:
  std::string command_;
  std::string caption_;
};

// The head did not answer within the echo timeout.
class echo_timeout : public device_error {
 public:
  using device_error::device_error;
};

// Escape, closing the window, or a lost head ended the wait.
class operation_cancelled : public device_error {
 public:
  using device_error::device_error;
};

// A report could not be sent: the head is not attached.
class head_absent : public device_error {
 public:
  using device_error::device_error;
};

// The head is there but refused the report, and says why.
class report_refused : public device_error {
 public:
  using device_error::device_error;
};

// A signal ended the operation between two exchanges.
class operation_stopped : public operation_cancelled {
 public:
  using operation_cancelled::operation_cancelled;
};

// The head went away while its answer was awaited.
class head_lost : public operation_cancelled {
 public:
  using operation_cancelled::operation_cancelled;
};

}  // namespace brevane::device
