#include "common/apart.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

#include "common/file_output.h"

namespace brevane {

#if defined(_WIN32)

std::string run_apart(const std::function<std::string()>& work) {
  return work();
}

#else

namespace {

void write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string run_apart(const std::function<std::string()>& work) {
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) return files::reason(errno);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(channel[0]);
    ::close(channel[1]);
    return files::reason(error);
  }
  if (child == 0) {
    ::close(channel[0]);
    // The program's signal handlers clean up after the program; the child only dies with it.
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) (void)std::signal(s, SIG_DFL);
    (void)::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    const std::string why = work();
    write_all(channel[1], why);
    // No exit handlers: what the parent process set up is not the child's to tear down.
    ::_exit(why.empty() ? 0 : 1);
  }
  ::close(channel[1]);
  std::string why;
  char piece[512];
  for (;;) {
    const ssize_t n = ::read(channel[0], piece, sizeof piece);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    why.append(piece, static_cast<std::size_t>(n));
  }
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return files::reason(errno);
  if (WIFSIGNALED(status)) return "its writer ended by signal " + std::to_string(WTERMSIG(status));
  if (WEXITSTATUS(status) != 0 && why.empty()) return "its writer failed";
  return WEXITSTATUS(status) == 0 ? std::string() : why;
}

#endif

}  // namespace brevane
