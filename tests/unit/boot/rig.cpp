#include "rig.h"

namespace boot_test {

serial::Bytes banner_a() {
  return {0xE0, 0x0D, 0x44, 0x72, 0x65, 0x61, 0x6D, 0x62, 0x6F,
          0x78, 0x20, 0x44, 0x00, 0x4D, 0x35, 0x30, 0x30, 0x0D};
}

serial::Bytes banner_b() {
  serial::Bytes banner = banner_a();
  banner[0] = 0xF0;
  return banner;
}

const serial::Bytes& test_image() {
  static const serial::Bytes image = [] {
    serial::Bytes bytes(43044);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
    return bytes;
  }();
  return image;
}

void Rig::script_good_flash_box() {
  port.arrivals = {
      banner_a(),                                     // banner watch, read 18
      bytes_of("ok\n\r"),                             // read 4
      bytes_of("loading instr. file"),                // read 19
      {},                                             // read 100, after the upload
      bytes_of(speed_reply),                          // read 30
      bytes_of(status_reply),                         // read 80
      bytes_of("waiting for further commands.\r\n"),  // read 200
  };
}

Rig::Rig() {
  port.time_passes = [this](std::chrono::milliseconds waited) { clock.advance(waited); };
}

boot::Outcome Rig::run() {
  report = boot::run_boot_check(panel, port, clock, {port_name, mode, image});
  return report.outcome;
}

boot::BannerWatchResult Rig::watch() {
  report = {};
  boot::Dialogue dialogue{panel, port, clock, report};
  return boot::watch_for_banner(dialogue);
}

}  // namespace boot_test
