#include "far_end.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>

#include "output_place.h"

namespace fault_matrix {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

sim::Options box_options(const std::string& scenario) {
  sim::Options options;
  options.scenario = scenario;
  options.pace = false;
  options.power_on_delay = std::chrono::milliseconds(100);
  return options;
}

}  // namespace

FarEnd::FarEnd(const Fault& fault) : trouble_(fault.port) {
  switch (trouble_) {
    case PortTrouble::none:
      box_ = std::make_unique<sim::SimulatedBox>(box_options(fault.scenario));
      port_ = box_->slave_path();
      return;
    case PortTrouble::stalls_after_start:
      stalling_box_ = std::make_unique<StallingBox>();
      port_ = stalling_box_->port();
      return;
    case PortTrouble::missing:
    case PortTrouble::held:
    case PortTrouble::not_permitted:
      bare_master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (bare_master_ < 0 || grantpt(bare_master_) != 0 || unlockpt(bare_master_) != 0) {
        fail("posix_openpt");
      }
      port_ = ptsname(bare_master_);
      if (trouble_ == PortTrouble::missing) {
        char folder[] = "/tmp/pellora-missing-XXXXXX";
        if (::mkdtemp(folder) == nullptr) fail("mkdtemp");
        link_folder_ = folder;
        const std::string link = link_folder_ + "/adapter";
        if (::symlink(port_.c_str(), link.c_str()) != 0) fail("symlink");
        port_ = link;
      }
      return;
  }
}

FarEnd::~FarEnd() {
  if (holder_ >= 0) ::close(holder_);
  if (bare_master_ >= 0) ::close(bare_master_);
  if (!link_folder_.empty()) {
    ::unlink(port_.c_str());
    ::rmdir(link_folder_.c_str());
  }
}

std::size_t FarEnd::box_sent() const {
  if (!box_) return 0;
  std::size_t sent = 0;
  for (const sim::Chunk& chunk : box_->record().chunks) {
    if (chunk.direction == sim::Chunk::Direction::sent) sent += chunk.bytes.size();
  }
  return sent;
}

bool FarEnd::stalled() const {
  return !stalling_box_ || stalling_box_->stalled();
}

void FarEnd::make_trouble() {
  switch (trouble_) {
    case PortTrouble::missing:
      ::close(bare_master_);  // the slave's node goes with it, and so does the link
      bare_master_ = -1;
      ::unlink(port_.c_str());
      return;
    case PortTrouble::held:
      holder_ = ::open(port_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (holder_ < 0 || ::flock(holder_, LOCK_EX | LOCK_NB) != 0) fail("hold the port");
      return;
    case PortTrouble::not_permitted:
      if (!running_as_root() && ::chmod(port_.c_str(), 0) != 0) fail("chmod the port");
      return;
    case PortTrouble::none:
    case PortTrouble::stalls_after_start:
      return;
  }
}

bool FarEnd::check_runs_unprivileged() const {
  return trouble_ == PortTrouble::not_permitted && running_as_root();
}

void FarEnd::open_to_anyone() const {
  if (::chmod(port_.c_str(), 0666) != 0) fail("chmod the port");
}

}  // namespace fault_matrix
