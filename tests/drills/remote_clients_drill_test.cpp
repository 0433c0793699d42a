// The remote interface of the real program under a crowd while a sweep runs: eight clients
// asking state queries as fast as they get answers, one sending a 1 MiB line, one that never
// reads its answers, one that connects and drops. The sweep must complete with every reading in
// its record, every well-behaved query must be answered, and the program's memory must stay
// flat. The clients are plain sockets in threads of their own, as scripts on the machine are.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Sanitized builds run several times slower; the crowd is smaller there, not the checks.
#if defined(BREVANE_SANITIZED)
constexpr int queries_per_client = 1000;
constexpr long memory_bound_kib = 256 * 1024;
#else
constexpr int queries_per_client = 10000;
constexpr long memory_bound_kib = 64 * 1024;
#endif

class client {
 public:
  // receive_buffer: a small one makes a client that never reads fill up at once.
  explicit client(quint16 port, int receive_buffer = 0) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (receive_buffer > 0)
      ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    const timeval wait{60, 0};  // a hang fails the drill instead of holding it
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~client() { ::close(fd_); }
  client(const client&) = delete;
  client& operator=(const client&) = delete;

  bool connected() const { return connected_; }
  bool send_all(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  // The next line without its LF; false when the connection ended first.
  bool read_line(std::string& line) {
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return true;
      }
      char chunk[4096];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }
  std::string ask(const std::string& line) {
    std::string answer;
    if (!send_all(line + "\n") || !read_line(answer)) return "(no answer)";
    return answer;
  }
  // True once the server has ended the connection (end of stream or reset).
  bool ended_by_server() {
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n == 0) return true;
      if (n < 0) return errno == ECONNRESET || errno == EPIPE;
    }
  }

 private:
  int fd_;
  bool connected_ = false;
  std::string buffer_;
};

// A connection the server took: one told "too many clients" tries again.
std::unique_ptr<client> admitted(quint16 port) {
  for (int attempt = 0; attempt < 3000; ++attempt) {
    auto c = std::make_unique<client>(port);
    if (c->connected() && c->ask("*IDN?").starts_with("Brevane,")) return c;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return nullptr;
}

struct memory {
  long rss_kib = -1;
  long hwm_kib = -1;
};

memory memory_of(qint64 pid) {
  memory m;
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return m;
  for (const QByteArray& line : status.readAll().split('\n')) {
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() < 2) continue;
    if (words[0] == "VmRSS:") m.rss_kib = words[1].toLong();
    if (words[0] == "VmHWM:") m.hwm_kib = words[1].toLong();
  }
  return m;
}

struct query_client_result {
  bool admitted = false;
  int answered = 0;
  int running = 0;  // SWE:STAT? answers that said the sweep runs
  std::string wrong;
};

TEST(RemoteClientsDrill, ACrowdOfClientsNeitherStopsTheSweepNorGrowsTheProgram) {
  QTemporaryDir folder;
  QProcess program;
  QStringList arguments = {"--simulate=latency=2", "--no-window",   "--listen",
                           "127.0.0.1:0",          "--data-folder", folder.filePath("data")};
#if defined(BREVANE_SANITIZED)
  // Freed memory waits in AddressSanitizer's quarantine, 256 MiB of it by default; a small
  // one lets the program's own growth show.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
  env.insert(QStringLiteral("ASAN_OPTIONS"),
             asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("quarantine_size_mb=8"));
  program.setProcessEnvironment(env);
#endif
  program.start(QStringLiteral(BREVANE_PROGRAM), arguments);
  ASSERT_TRUE(program.waitForStarted());
  QByteArray out;
  while (!out.contains('\n') && program.waitForReadyRead(20000))
    out += program.readAllStandardOutput();
  ASSERT_TRUE(out.startsWith("Listening on 127.0.0.1:"))
      << program.readAllStandardError().toStdString();
  const auto port = static_cast<quint16>(out.mid(23).trimmed().toUInt());
  const qint64 pid = program.processId();

  // A raster of 13 rows of 32 points, one cycle: about 2,600 answered exchanges.
  {
    client control(port);
    ASSERT_TRUE(control.connected());
    EXPECT_EQ(control.ask("SWE:STEP 5;:SWE:REP OFF;:SWE:STAR;:SYST:ERR?"), "0,\"No error\"");
  }
  const memory before = memory_of(pid);
  ASSERT_GT(before.rss_kib, 0);

  // The three that misbehave connect first, so they are let in before the crowd fills the
  // places; the crowd's latecomers are told there are too many clients and try again.
  const auto long_line = std::make_unique<client>(port);
  const auto never_reader = std::make_unique<client>(port, 4096);
  {
    client dropped(port);
    ASSERT_TRUE(dropped.connected());
    dropped.send_all("SWE:STAT?\nPOS");
  }
  ASSERT_TRUE(long_line->connected() && never_reader->connected());
  std::atomic<bool> long_line_closed{false}, never_reader_closed{false};
  std::thread long_line_thread([&] {
    long_line->send_all(std::string(1024 * 1024, 'A') + "\n");
    long_line_closed = long_line->ended_by_server();
  });
  std::thread never_reader_thread([&] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until)
      if (!never_reader->send_all("DATA:READ? 0,5000\n")) {
        never_reader_closed = true;
        return;
      }
  });

  const std::regex state(
      R"(^(IDLE|RUNNING|PAUSED|WAITING),\d+,[012],\d+,\d+,\d+\.\d,-?\d+,[A-Z]+$)");
  const std::regex position(R"(^\d+,\d+$)");
  std::vector<query_client_result> results(8);
  std::vector<std::thread> crowd;
  for (auto& result : results)
    crowd.emplace_back([&, port] {
      const auto c = admitted(port);
      if (!c) return;
      result.admitted = true;
      for (int k = 0; k < queries_per_client; ++k) {
        const char* query = k % 3 == 0 ? "SWE:STAT?" : k % 3 == 1 ? "POS?" : "*IDN?";
        const std::string answer = c->ask(query);
        const bool right = k % 3 == 0   ? std::regex_match(answer, state)
                           : k % 3 == 1 ? std::regex_match(answer, position)
                                        : answer.starts_with("Brevane,Simulated Vexilor II,SIM,");
        if (!right) {
          result.wrong = std::string(query) + " -> " + answer;
          return;
        }
        ++result.answered;
        if (k % 3 == 0 && answer.starts_with("RUNNING")) ++result.running;
      }
    });
  for (auto& t : crowd) t.join();
  long_line_thread.join();
  never_reader_thread.join();

  int answered = 0, running = 0;
  for (const auto& r : results) {
    EXPECT_TRUE(r.admitted);
    EXPECT_EQ(r.wrong, "");
    answered += r.answered;
    running += r.running;
  }
  EXPECT_EQ(answered, 8 * queries_per_client) << "every well-behaved query is answered";
  EXPECT_GT(running, 0) << "the queries came while the sweep ran";
  EXPECT_TRUE(long_line_closed) << "a 1 MiB line closes its connection";
  EXPECT_TRUE(never_reader_closed) << "a client that never reads is closed";

  // The sweep runs to its end whatever the crowd did.
  const auto control = admitted(port);
  ASSERT_TRUE(control);
  std::string now;
  for (int k = 0; k < 6000 && !(now = control->ask("SWE:STAT?")).starts_with("IDLE"); ++k)
    QThread::msleep(10);
  ASSERT_TRUE(now.starts_with("IDLE")) << now;
  const memory after = memory_of(pid);
  const long count = std::stol(control->ask("DATA:COUN?"));
  std::string path = control->ask("DATA:REC?");
  path = path.substr(1, path.size() - 2);

  // 10 baseline readings, then 2 passes of 13 rows, each a row start and 32 points.
  EXPECT_EQ(count, 10 + 2 * 13 * 33);
  QFile record(QString::fromStdString(path));
  ASSERT_TRUE(record.open(QIODevice::ReadOnly)) << path;
  long readings = 0;
  QJsonObject last;
  for (const QByteArray& line : record.readAll().trimmed().split('\n')) {
    last = QJsonDocument::fromJson(line).object();
    readings += last.value("type").toString() == "reading" ? 1 : 0;
  }
  EXPECT_EQ(readings, count);
  EXPECT_EQ(last.value("how").toString(), "completed");

  // Flat: the crowd costs the program no more than the generous bound, at its peak too.
  EXPECT_LT(after.hwm_kib - before.rss_kib, memory_bound_kib)
      << "VmRSS before " << before.rss_kib << " KiB, VmHWM after " << after.hwm_kib << " KiB";
  EXPECT_LT(after.rss_kib - before.rss_kib, memory_bound_kib / 2)
      << "VmRSS before " << before.rss_kib << " KiB, after " << after.rss_kib << " KiB";
  std::cout << "drill: " << answered << " queries answered, " << running
            << " while the sweep ran; VmRSS " << before.rss_kib << " -> " << after.rss_kib
            << " KiB, VmHWM " << before.hwm_kib << " -> " << after.hwm_kib << " KiB\n";

  ::kill(static_cast<pid_t>(pid), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(20000));
  EXPECT_EQ(program.exitCode(), 143);
}

}  // namespace
