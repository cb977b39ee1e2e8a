// What a whole paced Flash Mode exchange with the simulated box costs in CPU: through the
// in-process port (no pseudo-terminal, no thread), and through the real serial port on the
// box's pseudo-terminal for comparison. The exchange is the tool's: banner watch, "dream",
// the start command, the 43,044-byte image in 1024-byte pieces, the speed and status frames.
// Goal for the in-process port: well under 5 % of a core over the ~4 s the line takes.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bench/figures.h"
#include "serial/serial_port.h"
#include "sim/image_check.h"
#include "sim/in_process_box_port.h"
#include "sim/simulated_box.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using serial::Bytes;

const Bytes start_command = {0x47, 0x34, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x24};
const Bytes speed_frame = {0x44, 0x4D, 0x00, 0x18, 0x01, 0x00, 0x01, 0xC2, 0x00, 0x00, 0x09, 0x34,
                           0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11};
const Bytes status_frame = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0B};
constexpr std::size_t image_size = 43044;

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes sound_image() {
  Bytes image(image_size);
  const std::uint8_t magic[] = {0x00, 0x52, 0x50, 0x4F};
  for (std::size_t i = 0; i + 4 < image.size(); ++i)
    image[i] = i < 4 ? magic[i] : static_cast<std::uint8_t>(i * 7);
  const std::uint32_t trailer = sim::image_trailer_for(std::span(image).first(image.size() - 4));
  for (std::size_t i = 0; i < 4; ++i)
    image[image.size() - 4 + i] = static_cast<std::uint8_t>(trailer >> (24 - 8 * i));
  return image;
}

void expect(const Bytes& got, std::string_view wanted, const char* step) {
  if (got != bytes_of(wanted)) throw std::runtime_error(std::string("wrong reply to ") + step);
}

// The tool's side of a good Flash Mode run; the box switches itself on after the open.
void run_exchange(serial::Port& port) {
  port.set_baud_rate(serial::boot_baud_rate);
  port.set_timeouts(serial::watch_profile);
  port.open();
  port.set_dtr(true);
  port.set_rts(true);
  for (const auto give_up = Clock::now() + 5s;;) {
    const Bytes piece = port.read(18);
    if (std::search(piece.begin(), piece.end(), std::begin("Dream"), std::end("Dream") - 1) !=
        piece.end())
      break;
    if (Clock::now() > give_up) throw std::runtime_error("no banner");
  }
  port.set_timeouts(serial::dialogue_profile);
  port.write(bytes_of("dream"));
  expect(port.read(4), "ok\n\r", "dream");
  port.write(start_command);
  expect(port.read(19), "loading instr. file", "the start command");
  const Bytes image = sound_image();
  for (std::size_t at = 0; at < image.size(); at += 1024)
    port.write(std::span(image).subspan(at, std::min<std::size_t>(1024, image.size() - at)));
  port.write(speed_frame);
  expect(port.read(31), "setting baudrate to 115200...\r\n", "the speed frame");
  port.write(status_frame);
  expect(port.read(73),
         "client: ok, i'm now attached to a server. waiting for further commands.\r\n",
         "the status frame");
  port.close();
}

sim::Options paced_box() {
  sim::Options options;
  options.pace = true;
  options.power_on_delay = 100ms;
  return options;
}

void measure(const char* what, serial::Port& port, bool has_goal) {
  const auto start = Clock::now();
  const double cpu_before = cpu_seconds();
  run_exchange(port);
  const double cpu = cpu_seconds() - cpu_before;
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%-34s wall %.2f s, CPU %.1f ms (%.2f %% of a core)\n", what, wall, cpu * 1e3,
              100.0 * cpu / wall);
  const double share = 100.0 * cpu / wall;
  if (has_goal) {
    bench::print_figure(std::string("box_exchange_cpu ") + what,
                        bench::format("%.2f %% of a core", share), "< 5 %", share < 5.0);
  } else {
    bench::print_figure(std::string("box_exchange_cpu ") + what,
                        bench::format("%.2f %% of a core", share));
  }
}

}  // namespace

int main() {
  try {
    std::printf("paced Flash Mode exchange, %zu-byte image, 115200 baud\n", image_size);
    {
      sim::InProcessBoxPort port(paced_box());
      measure("in-process port:", port, true);
    }
    {
      sim::SimulatedBox box(paced_box());
      serial::SerialPort port;
      port.set_port(box.slave_path());
      measure("serial port on the pseudo-terminal:", port, false);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "box_exchange_cpu: %s\n", error.what());
    return 1;
  }
  return 0;
}
