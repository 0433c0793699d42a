#pragma once
// SIGINT and SIGTERM as Qt events: the handler only writes the signal's number into a pipe,
// and a socket notifier on the other end hands it to the event loop, where anything may run.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace brevane {

class signal_watch : public QObject {
  Q_OBJECT

 public:
  // on_signal runs on the thread of the event loop with the signal's number.
  explicit signal_watch(std::function<void(int)> on_signal, QObject* parent = nullptr);
  ~signal_watch() override;
  signal_watch(const signal_watch&) = delete;
  signal_watch& operator=(const signal_watch&) = delete;

  // False when the pipe or the handlers could not be set up; the signals then keep their
  // default action.
  bool active() const { return notifier_ != nullptr; }

 private:
  void drain();

  std::function<void(int)> on_signal_;
  QSocketNotifier* notifier_ = nullptr;
};

// The exit status of a program ended by this signal: 128 + its number (130, 143).
int exit_status_for_signal(int signal_number);

}  // namespace brevane
