// Round trips to a head emulated below hidapi that answers at once, all in one run: the floor
// (bare hidapi, a write and a blocking read on the node), the transport as it is, and the
// transport with the earlier single worker. For each transport: back-to-back exchanges, the
// first exchange after an idle whose length moves across any internal period, and the
// processor used while idle with the head attached.
#include <benchmark/benchmark.h>
#include <hidapi/hidapi.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "device/device_constants.h"
#include "device/usb_transport.h"
#include "old_worker_io.h"
#include "usb_bench_mode.h"
#include "usb_emulated/emulated_head.h"

namespace {

using namespace brevane;
using clock_type = std::chrono::steady_clock;

constexpr int exchanges = 500;
// The old worker polls every 2 ms for half a second after traffic, then every 50 ms; idles
// from 550 ms in 5 ms steps land at every phase of the slower period.
constexpr int idle_first_ms = 550;
constexpr int idle_step_ms = 5;
constexpr int idle_steps = 11;
constexpr int settle_ms = 600;
constexpr int idle_cpu_ms = 2000;
constexpr int answer_limit_ms = 1000;

// Plays the head on a thread of its own: every request is answered at once, its command
// letter in the answer's third data byte, which lands at byte 3 of the input buffer.
class answering_head {
 public:
  explicit answering_head(int fd) : fd_(fd), stop_fd_(::eventfd(0, EFD_CLOEXEC)) {
    thread_ = std::thread([this] { run(); });
  }
  ~answering_head() {
    const std::uint64_t one = 1;
    if (::write(stop_fd_, &one, sizeof one) < 0) std::terminate();
    thread_.join();
    ::close(stop_fd_);
  }

 private:
  void run() {
    std::vector<std::uint8_t> pending;
    std::array<std::uint8_t, 256> chunk{};
    std::array<pollfd, 2> watched{pollfd{fd_, POLLIN, 0}, pollfd{stop_fd_, POLLIN, 0}};
    for (;;) {
      if (::poll(watched.data(), watched.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (watched[1].revents != 0 || !(watched[0].revents & POLLIN)) return;
      const ssize_t n = ::read(fd_, chunk.data(), chunk.size());
      if (n <= 0) return;
      pending.insert(pending.end(), chunk.begin(), chunk.begin() + n);
      while (pending.size() >= device::output_wire_size) {
        const std::array<std::uint8_t, 8> answer{0, 0, pending[1], 0, 0, 0, 0, 0};
        if (::write(fd_, answer.data(), answer.size()) != 8) return;
        pending.erase(pending.begin(), pending.begin() + device::output_wire_size);
      }
    }
  }

  const int fd_;
  const int stop_fd_;
  std::thread thread_;
};

struct percentiles {
  double median_us;
  double p99_us;
  double max_us;
};

percentiles summarise(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  const std::size_t p99 = (n * 99 + 99) / 100 - 1;
  return {samples[n / 2], samples[std::min(p99, n - 1)], samples.back()};
}

double since_us(clock_type::time_point begin) {
  return std::chrono::duration<double, std::micro>(clock_type::now() - begin).count();
}

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the event loop for ms, as the program does when nothing happens.
void idle_for(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

struct waiting_target : device::notification_target {
  int reads = 0;
  int changes = 0;
  QEventLoop* loop = nullptr;

  void OnPlugged(device::device_handle) override {}
  void OnUnplugged(device::device_handle) override {}
  void OnChanged() override {
    ++changes;
    wake();
  }
  void OnRead(device::device_handle) override {
    ++reads;
    wake();
  }
  void wake() {
    if (loop) loop->quit();
  }

  // Runs a local event loop until done(), as the echo wait does; false at the limit.
  bool wait_until(const std::function<bool()>& done, int limit_ms = answer_limit_ms) {
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(limit_ms);
    while (!done() && limit.isActive()) {
      QEventLoop local;
      QObject::connect(&limit, &QTimer::timeout, &local, &QEventLoop::quit);
      loop = &local;
      local.exec();
      loop = nullptr;
    }
    return done();
  }
};

bool plug(benchmark::State& state, testing::emulated_head& head) {
  if (!head.emulating()) {
    state.SkipWithError("the umockdev preload is not active; run under umockdev-wrapper");
    return false;
  }
  if (!head.plug()) {
    state.SkipWithError("the emulated head could not be plugged in");
    return false;
  }
  return true;
}

void BM_usb_bare_hidapi(benchmark::State& state) {
  testing::emulated_head head;
  if (!plug(state, head)) return;
  hid_init();
  std::string path;
  hid_device_info* list = hid_enumerate(device::vendor_id, device::product_id);
  if (list && list->path) path = list->path;
  hid_free_enumeration(list);
  hid_device* dev = path.empty() ? nullptr : hid_open_path(path.c_str());
  if (!dev) {
    state.SkipWithError("hidapi could not open the emulated head");
    hid_exit();
    return;
  }
  // Only now: until the node is open, the head's end of it would see a hang-up.
  answering_head responder(head.head_fd());
  std::vector<double> samples;
  for (auto _ : state) {
    const device::wire_report wire{0, device::cmd_x, 170};
    std::array<unsigned char, device::read_buffer_size> in{};
    for (int i = 0; i < exchanges; ++i) {
      const auto begin = clock_type::now();
      const bool ok = hid_write(dev, wire.data(), wire.size()) == int(wire.size()) &&
                      hid_read_timeout(dev, in.data(), in.size(), answer_limit_ms) > 2 &&
                      in[2] == device::cmd_x;
      samples.push_back(since_us(begin));
      if (!ok) {
        state.SkipWithError("no answer from the emulated head");
        break;
      }
    }
  }
  hid_close(dev);
  hid_exit();
  if (samples.size() < exchanges) return;
  const percentiles p = summarise(samples);
  state.counters["median_us"] = p.median_us;
  state.counters["p99_us"] = p.p99_us;
}

void BM_usb_transport(benchmark::State& state, device::io_opener opener) {
  testing::emulated_head head;
  if (!plug(state, head)) return;
  device::usb_transport transport;
  transport.set_io_opener(std::move(opener));
  waiting_target target;
  if (!transport.connect(target) || !target.wait_until([&] { return target.changes > 0; })) {
    state.SkipWithError("the transport did not open the emulated head");
    return;
  }
  const device::device_handle h = transport.handle(device::vendor_id, device::product_id);
  transport.set_read_notify(h, true);
  answering_head responder(head.head_fd());

  const auto exchange_us = [&](int x) {
    device::input_report in{};
    const device::output_report out{0, device::cmd_x, static_cast<std::uint8_t>(x)};
    const int before = target.reads;
    const auto begin = clock_type::now();
    const bool ok = transport.write(device::vendor_id, device::product_id, out) &&
                    target.wait_until([&] { return target.reads > before; }) &&
                    transport.read(h, in) && in[device::echo_byte] == device::cmd_x;
    return ok ? since_us(begin) : -1.0;
  };

  std::vector<double> back_to_back;
  std::vector<double> after_idle;
  double idle_cpu_percent = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < exchanges; ++i) {
      back_to_back.push_back(exchange_us(i % 2 ? 100 : 101));
      if (back_to_back.back() < 0) break;
    }
    for (int i = 0; i < idle_steps && back_to_back.back() >= 0; ++i) {
      idle_for(idle_first_ms + i * idle_step_ms);
      after_idle.push_back(exchange_us(100));
      if (after_idle.back() < 0) break;
    }
    idle_for(settle_ms);
    const double cpu_begin = cpu_seconds();
    const auto wall_begin = clock_type::now();
    idle_for(idle_cpu_ms);
    idle_cpu_percent = 100.0 * (cpu_seconds() - cpu_begin) / (since_us(wall_begin) / 1e6);
  }
  transport.disconnect();
  if (after_idle.size() < idle_steps || after_idle.back() < 0) {
    state.SkipWithError("an exchange got no answer");
    return;
  }
  const percentiles p = summarise(back_to_back);
  const percentiles idle = summarise(after_idle);
  state.counters["median_us"] = p.median_us;
  state.counters["p99_us"] = p.p99_us;
  state.counters["idle_first_max_us"] = idle.max_us;
  state.counters["idle_first_median_us"] = idle.median_us;
  state.counters["idle_cpu_percent"] = idle_cpu_percent;
  state.counters["udev_monitor"] = bench::udev_unavailable.empty() ? 1 : 0;
}

BENCHMARK(BM_usb_bare_hidapi)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_usb_transport, current, device::io_opener(device::open_device_io))
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_usb_transport, old_worker, device::io_opener(bench::open_old_worker_io))
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
