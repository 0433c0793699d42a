#include "app/signal_watch.h"

#include <QSocketNotifier>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace brevane {

namespace {
#if defined(__unix__) || defined(__APPLE__)
int write_end = -1;
int read_end = -1;

extern "C" void on_terminating_signal(int signal_number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal_number);
  // Nothing else is safe here. A full pipe already holds a signal to act on.
  [[maybe_unused]] const auto written = ::write(write_end, &byte, 1);
  errno = saved;
}
#endif
}  // namespace

signal_watch::signal_watch(std::function<void(int)> on_signal, QObject* parent)
    : QObject(parent), on_signal_(std::move(on_signal)) {
#if defined(__unix__) || defined(__APPLE__)
  if (read_end >= 0) return;  // one watch per process
  int fds[2];
  if (::pipe(fds) != 0) return;
  for (int fd : fds) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  read_end = fds[0];
  write_end = fds[1];
  struct sigaction action {};
  action.sa_handler = on_terminating_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  notifier_ = new QSocketNotifier(read_end, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
#endif
}

signal_watch::~signal_watch() {
#if defined(__unix__) || defined(__APPLE__)
  if (!notifier_) return;
  delete notifier_;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::close(read_end);
  ::close(write_end);
  read_end = write_end = -1;
#endif
}

void signal_watch::drain() {
#if defined(__unix__) || defined(__APPLE__)
  unsigned char byte = 0;
  while (::read(read_end, &byte, 1) == 1) {
    if (on_signal_) on_signal_(byte);
  }
#endif
}

int exit_status_for_signal(int signal_number) {
  return 128 + signal_number;
}

}  // namespace brevane
