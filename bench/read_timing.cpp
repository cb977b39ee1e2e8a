// How close each read returns to its rule's deadline, on a pseudo-terminal, and what a
// waiting read loop costs in CPU. Goals: median error <= 1 ms, CPU <= 0.5 % of a core.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/figures.h"
#include "serial/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The far end of the line: the master side of a pseudo-terminal, raw.
class FarEnd {
 public:
  FarEnd() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0)
      throw std::runtime_error("cannot create a pseudo-terminal");
    slave_path_ = name;
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
  }
  ~FarEnd() { close(master_); }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  const std::string& slave_path() const { return slave_path_; }
  void send(const serial::Bytes& bytes) {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("the far end could not send");
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

double ms_since(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

struct Figures {
  double median;
  double worst;
};

Figures summarize(std::vector<double> errors) {
  std::sort(errors.begin(), errors.end());
  const std::size_t n = errors.size();
  const double median = n % 2 ? errors[n / 2] : (errors[n / 2 - 1] + errors[n / 2]) / 2;
  const auto worst = std::max_element(errors.begin(), errors.end(),
                                      [](double a, double b) { return std::abs(a) < std::abs(b); });
  return {median, *worst};
}

enum class Rule { count, interval, total };

const char* rule_name(Rule rule) {
  switch (rule) {
    case Rule::count:
      return "count reached";
    case Rule::interval:
      return "interval after a first byte";
    case Rule::total:
      return "total, nothing received";
  }
  return "";
}

// One read by the given rule; returns how far (ms, + late / - early) it returned from the
// moment its rule says it should.
double one_read(serial::SerialPort& port, FarEnd& far_end, Rule rule,
                const serial::ReadTimeouts& timeouts) {
  constexpr std::size_t count = 18;
  switch (rule) {
    case Rule::count: {
      // The last byte arrives while the read waits; the read should return at once.
      far_end.send(serial::Bytes(count - 1, 0x41));
      Clock::time_point last_sent;
      std::thread sender([&] {
        std::this_thread::sleep_for(10ms);
        last_sent = Clock::now();
        far_end.send(serial::Bytes{0x42});
      });
      const auto bytes = port.read(count);
      const auto end = Clock::now();
      sender.join();
      if (bytes.size() != count) throw std::runtime_error("count read came back short");
      return ms_since(last_sent, end);
    }
    case Rule::interval: {
      far_end.send(serial::Bytes(5, 0x43));
      std::this_thread::sleep_for(5ms);
      const auto start = Clock::now();
      const auto bytes = port.read(count);
      const auto end = Clock::now();
      if (bytes.size() != 5) throw std::runtime_error("interval read lost bytes");
      return ms_since(start, end) - timeouts.ReadInterval;  // bytes waiting: interval from start
    }
    case Rule::total: {
      const auto start = Clock::now();
      const auto bytes = port.read(count);
      const auto end = Clock::now();
      if (!bytes.empty()) throw std::runtime_error("a quiet line returned bytes");
      return ms_since(start, end) - (timeouts.ReadTotalConstant +
                                     static_cast<double>(count * timeouts.ReadTotalMultiplier));
    }
  }
  return 0;
}

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main() {
  FarEnd far_end;
  serial::SerialPort port;
  port.set_port(far_end.slave_path());
  port.set_baud_rate(serial::boot_baud_rate);
  port.open();

  struct Profile {
    const char* name;
    serial::ReadTimeouts timeouts;
    int repetitions;
  };
  const Profile profiles[] = {{"watch 50/50/1", serial::watch_profile, 200},
                              {"dialogue 1500/1500/1", serial::dialogue_profile, 5}};

  std::printf("read(18) on a pseudo-terminal: how far each read returns from its deadline\n");
  std::printf("%-22s %-28s %6s %12s %12s\n", "profile", "rule", "runs", "median ms", "worst ms");
  for (const Profile& profile : profiles) {
    port.set_timeouts(profile.timeouts);
    for (const Rule rule : {Rule::count, Rule::interval, Rule::total}) {
      std::vector<double> errors;
      for (int i = 0; i < profile.repetitions; ++i)
        errors.push_back(one_read(port, far_end, rule, profile.timeouts));
      const Figures figures = summarize(errors);
      std::printf("%-22s %-28s %6d %+12.3f %+12.3f\n", profile.name, rule_name(rule),
                  profile.repetitions, figures.median, figures.worst);
      bench::print_figure(
          bench::format("read_timing %s, %s", profile.name, rule_name(rule)),
          bench::format("median %+.3f ms, worst %+.3f ms", figures.median, figures.worst),
          "|median| <= 1 ms", std::abs(figures.median) <= 1.0);
    }
  }

  // A banner watch on a quiet line: read(18) with the watch profile, over and over.
  port.set_timeouts(serial::watch_profile);
  const auto loop_end = Clock::now() + 10s;
  const double cpu_before = cpu_seconds();
  const auto wall_before = Clock::now();
  int reads = 0;
  while (Clock::now() < loop_end) {
    port.read(18);
    ++reads;
  }
  const double wall = ms_since(wall_before, Clock::now()) / 1000.0;
  const double cpu = cpu_seconds() - cpu_before;
  std::printf(
      "\nquiet-line loop of read(18), watch profile: %d reads in %.1f s, CPU %.3f %% of "
      "one core (goal <= 0.5 %%)\n",
      reads, wall, 100.0 * cpu / wall);
  bench::print_figure("read_timing quiet-line read loop CPU",
                      bench::format("%.3f %% of a core", 100.0 * cpu / wall), "<= 0.5 %",
                      100.0 * cpu / wall <= 0.5);
  return 0;
}
