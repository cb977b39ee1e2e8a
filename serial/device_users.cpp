#include "serial/device_users.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace serial {
namespace {

namespace fs = std::filesystem;

std::string user_name(uid_t uid) {
  std::vector<char> buffer(4096);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return std::to_string(uid);
}

std::string group_name(gid_t gid) {
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->gr_name;
  return std::to_string(gid);
}

bool reads_and_writes(mode_t mode, mode_t read_bit, mode_t write_bit) {
  return (mode & read_bit) != 0 && (mode & write_bit) != 0;
}

// "0620"
std::string octal_mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// A process's own name for itself (what ps shows), or nothing when it is gone.
std::string command_of(const fs::path& process_dir) {
  std::ifstream comm(process_dir / "comm");
  std::string command;
  std::getline(comm, command);
  return command;
}

std::optional<pid_t> pid_of(const fs::path& entry) {
  const std::string name = entry.filename().string();
  if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  try {
    return static_cast<pid_t>(std::stol(name));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool has_open(const fs::path& process_dir, const fs::path& device) {
  std::error_code error;
  for (fs::directory_iterator it(process_dir / "fd", error), end; !error && it != end;
       it.increment(error)) {
    std::error_code link_error;
    if (fs::read_symlink(it->path(), link_error) == device && !link_error) return true;
  }
  return false;
}

}  // namespace

std::optional<NodeAccess> node_access(const std::string& path) {
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) return std::nullopt;
  return NodeAccess{user_name(node.st_uid), group_name(node.st_gid), node.st_mode & 07777};
}

std::string permission_advice(const NodeAccess& node) {
  const std::string facts =
      " (owner " + node.owner + ", group " + node.group + ", mode " + octal_mode(node.mode) + ")";
  // Everyone may, by the mode: something else (an access list, a security module) refuses.
  if (reads_and_writes(node.mode, S_IROTH, S_IWOTH))
    return "the system refuses access although the mode allows it" + facts;
  if (reads_and_writes(node.mode, S_IRGRP, S_IWGRP))
    return "add yourself to the group '" + node.group + "' and log in again";
  if (reads_and_writes(node.mode, S_IRUSR, S_IWUSR) && node.owner != "root")
    return "only " + node.owner + " and root may open it" + facts;
  return "only root may open it" + facts;
}

std::vector<DeviceHolder> device_holders(const std::string& path) {
  std::vector<DeviceHolder> holders;
  std::error_code error;
  // The links in /proc name the device by its real path, not by a link the user gave.
  const fs::path device = fs::canonical(path, error);
  if (error) return holders;
  const pid_t self = getpid();
  for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const auto pid = pid_of(it->path());
    if (!pid || *pid == self || !has_open(it->path(), device)) continue;
    std::string command = command_of(it->path());
    if (!command.empty()) holders.push_back({std::move(command), *pid});
  }
  return holders;
}

}  // namespace serial
