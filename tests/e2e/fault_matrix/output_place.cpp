#include "output_place.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "../cli/child_process.h"

namespace fault_matrix {
namespace {

namespace fs = std::filesystem;

const char* device_for(OutputTarget target) {
  if (target == OutputTarget::dev_full) return "/dev/full";
  if (target == OutputTarget::dev_null) return "/dev/null";
  return nullptr;
}

void make_folder(const fs::path& folder, fs::perms perms) {
  fs::create_directory(folder);
  fs::permissions(folder, perms);
}

}  // namespace

bool running_as_root() {
  return ::geteuid() == 0;
}

OutputPlace::OutputPlace(OutputTarget target) : target_(target) {
  char pattern[] = "/tmp/pellora-faults-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  base_ = pattern;
  // Open to "nobody" all the way down, but for the folder that must refuse the file.
  fs::permissions(base_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  folder_ = base_ / "out";
  switch (target) {
    case OutputTarget::read_only_folder:
      folder_ = base_ / "read-only";
      make_folder(folder_, running_as_root() ? fs::perms(0755) : fs::perms(0555));
      return;
    case OutputTarget::under_a_file:
      folder_ = base_ / "a-file";
      std::ofstream(folder_) << "a file, not a folder\n";
      return;
    case OutputTarget::symlink_to_file:
      make_folder(folder_, fs::perms::all);
      make_folder(base_ / "elsewhere", fs::perms::all);
      fs::create_symlink("../elsewhere/Log.log", folder_ / "Log.log");
      fs::create_symlink("../elsewhere/report.json", folder_ / "report.json");
      return;
    case OutputTarget::dev_full:
    case OutputTarget::dev_null:
      make_folder(folder_, fs::perms::all);
      // "Save Log" writes Log.log in the current folder; here that name leads to the device.
      fs::create_symlink(device_for(target), folder_ / "Log.log");
      return;
    case OutputTarget::plain:
      make_folder(folder_, fs::perms::all);
      return;
  }
}

OutputPlace::~OutputPlace() {
  std::error_code ignored;
  if (fs::is_directory(folder_, ignored)) fs::permissions(folder_, fs::perms::all, ignored);
  fs::remove_all(base_, ignored);
}

std::string OutputPlace::log_path() const {
  if (const char* device = device_for(target_)) return device;
  return (folder_ / "Log.log").string();
}

std::string OutputPlace::report_path() const {
  if (const char* device = device_for(target_)) return device;
  return (folder_ / "report.json").string();
}

fs::path OutputPlace::window_folder() const {
  return folder_;
}

bool OutputPlace::needs_unprivileged_writer() const {
  return target_ == OutputTarget::read_only_folder && running_as_root();
}

std::optional<std::string> OutputPlace::written(const std::string& path) const {
  if (device_for(target_)) return std::nullopt;
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;  // follows a link
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void OutputPlace::expect_left_intact() const {
  switch (target_) {
    case OutputTarget::dev_full:
    case OutputTarget::dev_null:
      EXPECT_TRUE(fs::is_character_file(device_for(target_))) << device_for(target_);
      EXPECT_TRUE(fs::is_symlink(folder_ / "Log.log"));
      break;
    case OutputTarget::symlink_to_file:
      EXPECT_TRUE(fs::is_symlink(folder_ / "Log.log"));
      EXPECT_TRUE(fs::is_symlink(folder_ / "report.json"));
      break;
    case OutputTarget::read_only_folder:
      EXPECT_TRUE(fs::is_empty(folder_)) << "no file, and no temporary left behind";
      break;
    case OutputTarget::under_a_file:
      EXPECT_TRUE(fs::is_regular_file(folder_));
      break;
    case OutputTarget::plain: {
      const std::set<std::string> allowed = {"Log.log", "report.json"};
      for (const auto& entry : fs::directory_iterator(folder_)) {
        EXPECT_TRUE(allowed.contains(entry.path().filename().string()))
            << "left behind: " << entry.path();
      }
      break;
    }
  }
}

ActingAsNobody::ActingAsNobody(bool wanted) {
  if (!wanted || !running_as_root()) return;
  const auto [uid, gid] = e2e::nobody();
  acting_ = ::setegid(gid) == 0 && ::seteuid(uid) == 0;
  EXPECT_TRUE(acting_) << "cannot act as nobody";
}

ActingAsNobody::~ActingAsNobody() {
  if (!acting_) return;
  [[maybe_unused]] const int uid_back = ::seteuid(0);
  [[maybe_unused]] const int gid_back = ::setegid(0);
}

}  // namespace fault_matrix
