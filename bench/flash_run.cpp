// A whole Flash Mode run against the simulated box with the line paced, through
// pellora-cli's code path (run_boot_check, the terminal panel, the built-in loader): its wall
// time against the floor the protocol sets for that box (protocol_floor.h), and the upload's
// pace. Twice: with serial::SerialPort on the box's pseudo-terminal, as pellora-cli --demo
// runs (its writes return while up to the pseudo-terminal's buffer is still on its way, which
// the floor takes into account), and on the in-process port, whose writes end when their
// bytes are on the line as a UART's do; the upload's pace is measured there on the tool's
// side, and on the pseudo-terminal as the box took it.
// Goals: wall / floor <= 1.01; the upload at >= 99 % of 11,520 bytes/s.
// Usage: flash_run [--runs N] (3 of each by default; the figures are the median run's).

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/figures.h"
#include "bench/protocol_floor.h"
#include "bench/timed_port.h"
#include "boot/boot_check.h"
#include "boot/flash_mode.h"
#include "cli/terminal_panel.h"
#include "resources/loader_image.h"
#include "serial/serial_port.h"
#include "sim/in_process_box_port.h"
#include "sim/simulated_box.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ms_between(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The box's trace, each line stamped when the box's thread wrote it: its bytes each way
// and its stages, in the order they happened, to the microsecond (the record keeps
// milliseconds).
struct TracedEvent {
  enum class Kind { received, sent, stage } kind;
  Clock::time_point at;
  std::size_t bytes = 0;
  std::string stage;  // sim::stage_name()
};

class BoxTrace {
 public:
  void add(std::string_view line) {
    const auto at = Clock::now();
    const auto text = line.substr(line.find("] ") + 2);
    TracedEvent event{TracedEvent::Kind::stage, at, 0, {}};
    if (text.starts_with("stage: ")) {
      event.stage = text.substr(7);
    } else if (text.starts_with("box <- tool: ") || text.starts_with("box -> tool: ")) {
      event.kind = text[4] == '<' ? TracedEvent::Kind::received : TracedEvent::Kind::sent;
      event.bytes = byte_count(text.substr(13));
    } else {
      return;
    }
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  std::vector<TracedEvent> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  // "N bytes" for a long chunk, else its bytes in hex, "44 4D 00".
  static std::size_t byte_count(std::string_view text) {
    if (text.ends_with(" bytes")) return std::stoul(std::string(text));
    return (text.size() + 1) / 3;
  }
  mutable std::mutex mutex_;
  std::vector<TracedEvent> events_;
};

// What the box sent at each point of the run, for the floor: the segments are banner,
// greeting reply, start reply, unasked bytes after it, speed reply, status reply, the rest.
bench::BoxReplies replies_in(const std::vector<TracedEvent>& events) {
  std::array<std::size_t, 7> sent{};
  std::size_t segment = 0;
  bool loader_running = false;
  for (const TracedEvent& e : events) {
    if (e.kind == TracedEvent::Kind::stage) {
      if (e.stage == sim::stage_name(sim::Stage::banner_sent)) segment = 1;
      if (e.stage == sim::stage_name(sim::Stage::greeting_answered)) segment = 2;
      if (e.stage == sim::stage_name(sim::Stage::start_answered)) segment = 3;
      if (e.stage == sim::stage_name(sim::Stage::loader_running)) loader_running = true;
      if (e.stage == sim::stage_name(sim::Stage::speed_answered)) segment = 5;
      if (e.stage == sim::stage_name(sim::Stage::status_answered)) segment = 6;
    } else if (e.kind == TracedEvent::Kind::received) {
      // The speed frame: what the loader says from now on answers it.
      if (loader_running && segment == 3) segment = 4;
    } else {
      sent[segment] += e.bytes;
    }
  }
  return {sent[0], sent[1], sent[2], sent[3], sent[4], sent[5]};
}

struct UploadPace {
  double bytes_per_second = 0;
  double largest_gap_between_pieces_ms = 0;  // line idle where one 1024-byte piece meets the next
  double largest_idle_ms = 0;                // line idle anywhere in the upload
};

// The image's bytes as the box took them: after the start reply, up to image_size bytes.
UploadPace box_side_pace(const std::vector<TracedEvent>& events, std::size_t image_size,
                         double byte_ms) {
  std::vector<const TracedEvent*> chunks;
  bool started = false;
  std::size_t taken = 0;
  for (const TracedEvent& e : events) {
    if (e.kind == TracedEvent::Kind::stage &&
        e.stage == sim::stage_name(sim::Stage::start_answered))
      started = true;
    if (!started || e.kind != TracedEvent::Kind::received || taken >= image_size) continue;
    chunks.push_back(&e);
    taken += e.bytes;
  }
  UploadPace pace;
  if (chunks.size() < 2) return pace;
  std::size_t before = chunks.front()->bytes;
  for (std::size_t i = 1; i < chunks.size(); ++i) {
    const double idle = ms_between(chunks[i - 1]->at, chunks[i]->at) -
                        static_cast<double>(chunks[i]->bytes) * byte_ms;
    pace.largest_idle_ms = std::max(pace.largest_idle_ms, idle);
    const std::size_t after = before + chunks[i]->bytes;
    // This chunk holds the first byte of a new piece.
    if (before / boot::upload_piece_size != (after - 1) / boot::upload_piece_size ||
        before % boot::upload_piece_size == 0)
      pace.largest_gap_between_pieces_ms = std::max(pace.largest_gap_between_pieces_ms, idle);
    before = after;
  }
  // The first chunk's bytes came before its time stamp; the rate counts those after it.
  const double span_s = ms_between(chunks.front()->at, chunks.back()->at) / 1000.0;
  pace.bytes_per_second = static_cast<double>(taken - chunks.front()->bytes) / span_s;
  return pace;
}

// The image's pieces as the tool wrote them: every write between the start command and the
// two frames; a gap is the line idle between the end of one piece's write and the next.
UploadPace tool_side_pace(const std::vector<bench::TimedPort::Write>& writes) {
  UploadPace pace;
  if (writes.size() < 5) return pace;
  const auto first = writes.begin() + 2, last = writes.end() - 3;
  std::size_t bytes = 0;
  for (auto w = first; w <= last; ++w) {
    bytes += w->bytes;
    if (w != first) {
      const double gap = ms_between((w - 1)->end, w->start);
      pace.largest_gap_between_pieces_ms = std::max(pace.largest_gap_between_pieces_ms, gap);
    }
  }
  pace.largest_idle_ms = pace.largest_gap_between_pieces_ms;
  pace.bytes_per_second = static_cast<double>(bytes) / ms_between(first->start, last->end) * 1000;
  return pace;
}

boot::LoaderImage embedded_loader() {
  const auto bytes = resources::find_rcdata("dmboot");
  if (!bytes) throw std::runtime_error("the program carries no loader image");
  boot::LoaderImage image;
  image.bytes = *bytes;
  return image;
}

// How much of the image was still on its way to the box when the tool's last piece was
// written: a pseudo-terminal takes many KB at once and counts none of them as queued, so the
// tool's write returns before its bytes crossed the line; the floor takes that into account.
std::size_t held_after_upload(const std::vector<TracedEvent>& events,
                              const std::vector<bench::TimedPort::Write>& writes,
                              std::size_t image_size) {
  if (writes.size() < 5) return 0;
  const Clock::time_point last_piece_written = (writes.end() - 3)->end;
  bool started = false;
  std::size_t arrived = 0;
  for (const TracedEvent& e : events) {
    if (e.kind == TracedEvent::Kind::stage &&
        e.stage == sim::stage_name(sim::Stage::start_answered))
      started = true;
    if (started && e.kind == TracedEvent::Kind::received && e.at <= last_piece_written)
      arrived += e.bytes;
  }
  return image_size - std::min(arrived, image_size);
}

enum class Line { pseudo_terminal, in_process };

struct RunFigures {
  double wall_ms = 0;
  std::size_t held = 0;  // image bytes still on their way when the last piece's write returned
  bench::Floor floor;
  UploadPace pace;
};

RunFigures one_run(const boot::LoaderImage& loader, Line line) {
  BoxTrace trace;
  sim::Options options;  // the demo's box: paced, switched on 800 ms after the open
  options.pace = true;
  options.trace = [&trace](std::string_view text) { trace.add(text); };
  std::unique_ptr<sim::SimulatedBox> box;
  std::unique_ptr<serial::Port> port;
  std::string port_name;
  if (line == Line::pseudo_terminal) {
    box = std::make_unique<sim::SimulatedBox>(options);
    port = std::make_unique<serial::SerialPort>();
    port_name = box->slave_path();
  } else {
    auto in_process = std::make_unique<sim::InProcessBoxPort>(options);
    port_name = in_process->device_name();
    port = std::move(in_process);
  }
  bench::TimedPort timed(*port);

  std::FILE* quiet = std::fopen("/dev/null", "w");
  if (quiet == nullptr) throw std::runtime_error("cannot open /dev/null");
  cli::TerminalPanelSettings settings;
  settings.log_out = quiet;
  settings.messages = quiet;
  cli::TerminalPanel panel(std::move(settings));
  boot::SystemClock clock;

  const auto start = Clock::now();
  const boot::Report report =
      boot::run_boot_check(panel, timed, clock, {port_name, boot::Mode::flash, loader});
  const auto end = Clock::now();
  port->close();
  std::fclose(quiet);
  if (report.outcome != boot::Outcome::success)
    throw std::runtime_error("the Flash Mode run did not succeed: " +
                             std::string(boot::outcome_name(report.outcome)));

  const auto events = trace.events();
  RunFigures figures;
  figures.wall_ms = ms_between(start, end);
  figures.held =
      line == Line::in_process ? 0 : held_after_upload(events, timed.writes(), loader.bytes.size());
  figures.floor =
      bench::flash_run_floor(replies_in(events), loader.bytes.size(), options.power_on_delay,
                             serial::boot_baud_rate, figures.held);
  figures.pace = line == Line::in_process ? tool_side_pace(timed.writes())
                                          : box_side_pace(events, loader.bytes.size(),
                                                          10'000.0 / serial::boot_baud_rate);
  return figures;
}

// Runs the kind of line `runs` times and returns the median run by wall time.
RunFigures median_run(const boot::LoaderImage& loader, Line line, int runs, const char* name) {
  std::printf("%s:\n", name);
  std::vector<RunFigures> all;
  for (int i = 0; i < runs; ++i) {
    all.push_back(one_run(loader, line));
    const RunFigures& f = all.back();
    std::printf(
        "  run %d: wall %.1f ms, floor %.1f ms, ratio %.4f; %zu image bytes on their way as the "
        "last piece's write returned; upload %.0f bytes/s, largest gap between pieces %.2f ms, "
        "largest line idle %.2f ms\n",
        i + 1, f.wall_ms, f.floor.total_ms, f.wall_ms / f.floor.total_ms, f.held,
        f.pace.bytes_per_second, f.pace.largest_gap_between_pieces_ms, f.pace.largest_idle_ms);
  }
  std::sort(all.begin(), all.end(),
            [](const RunFigures& a, const RunFigures& b) { return a.wall_ms < b.wall_ms; });
  const RunFigures mid = all[all.size() / 2];
  std::printf("  the floor of the median run, step by step:\n");
  for (const bench::FloorStep& step : mid.floor.steps)
    std::printf("    %-40s %9.1f ms\n", step.what.c_str(), step.ms);
  return mid;
}

void print_ratio(const std::string& name, const RunFigures& run) {
  const double ratio = run.wall_ms / run.floor.total_ms;
  bench::print_figure(
      name, bench::format("%.0f / %.0f ms = %.4f", run.wall_ms, run.floor.total_ms, ratio),
      "<= 1.01", ratio <= 1.01);
}

void print_pace(const std::string& name, const UploadPace& pace) {
  const double line_rate = serial::boot_baud_rate / 10.0;
  const double share = 100.0 * pace.bytes_per_second / line_rate;
  bench::print_figure(
      name,
      bench::format("%.0f bytes/s = %.2f %% of %.0f", pace.bytes_per_second, share, line_rate),
      ">= 99 %", share >= 99.0);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
  try {
    const boot::LoaderImage loader = embedded_loader();
    std::printf(
        "Flash Mode run through pellora-cli's code path against the simulated box, paced "
        "at 115200 baud, %zu-byte loader\n",
        loader.bytes.size());
    const RunFigures pty = median_run(loader, Line::pseudo_terminal, runs,
                                      "serial::SerialPort on the box's pseudo-terminal");
    const RunFigures in_process =
        median_run(loader, Line::in_process, runs, "the in-process port (writes end on the line)");

    print_ratio("flash_run wall/floor, pseudo-terminal", pty);
    print_ratio("flash_run wall/floor, in-process port", in_process);
    print_pace("upload pace, in-process port (tool side)", in_process.pace);
    bench::print_figure("upload largest gap between pieces, in-process",
                        bench::format("%.2f ms", in_process.pace.largest_gap_between_pieces_ms));
    print_pace("upload pace, pseudo-terminal (as the box took it)", pty.pace);
    bench::print_figure(
        "upload largest gap between pieces, pseudo-terminal",
        bench::format("%.2f ms (largest line idle %.2f ms)", pty.pace.largest_gap_between_pieces_ms,
                      pty.pace.largest_idle_ms));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    bench::print_figure("flash_run peak resident memory (CLI path + box)",
                        bench::format("%.1f MiB", static_cast<double>(usage.ru_maxrss) / 1024.0));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "flash_run: %s\n", error.what());
    return 1;
  }
  return 0;
}
