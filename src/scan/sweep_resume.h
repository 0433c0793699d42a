#pragma once
// A sweep taken up again from its record after the program stopped (a crash, a kill, a power
// cut): the settings, the baseline, the cycle count and the last reading held are rebuilt from
// the record, which is read as any untrusted file is. A record that has ended, that another
// head wrote, or whose settings the controls cannot take is refused, saying why.

#include <QDateTime>
#include <QString>
#include <optional>
#include <string>

#include "scan/sweep.h"
#include "scan/sweep_plan.h"

namespace brevane {

struct resume_request {
  QString record;
  // The head this program drives: "simulated" or "usb", and its serial number when known.
  std::string head_kind;
  std::string head_serial;
  bool any_head = false;  // --resume-on-any-head
  // The cycles to run when the record does not say (it predates saying it).
  std::optional<int> cycles;
  sweep_settings base;  // what a setting the record leaves out keeps
};

struct resume_plan {
  QString record;
  sweep_settings settings;
  std::optional<int> cycles;  // none: Repeat decides
  // The logs the sweep kept, when the record says; a resumed sweep keeps them on.
  std::optional<bool> log_data;
  std::optional<bool> log_images;
  sweep_resumption from;
  long held = 0;    // readings the record holds
  long log_lines = 0;  // data log lines those readings wrote
  int passes_painted = 0;  // passes ended before the one in progress: the image sets numbered
  long to_go = -1;  // readings still to take; -1 while Repeat goes on
  std::string next;  // "cycle 2, downward pass, row 4, point 9"
  // What the record writer needs to go on in the same file.
  qint64 whole_end = 0;
  QDateTime start;
  qint64 last_ms = 0;
};

// nullopt with why, naming the record, when it cannot be resumed.
std::optional<resume_plan> plan_resume(const resume_request& request, std::string* why);

// "cycle 2, downward pass, row 4, point 9: 1,234 readings already kept, 3,402 to go".
std::string resume_sentence(const resume_plan& plan);

}  // namespace brevane
