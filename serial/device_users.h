#pragma once
// Who may open a device node and who has it open, for the reasons an open failed with
// (POSIX systems).

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace serial {

// A device node's owner and group (their names, or their ids where they have none) and its
// permission bits.
struct NodeAccess {
  std::string owner;
  std::string group;
  mode_t mode = 0;
};

// The node's access as the system tells it; nothing when the node cannot be examined.
std::optional<NodeAccess> node_access(const std::string& path);

// What a user refused access to the node can do, or who may open it:
// "add yourself to the group 'dialout' and log in again" only when that group may read and
// write it, else e.g. "only root may open it (owner root, group tty, mode 0620)".
std::string permission_advice(const NodeAccess& node);

struct DeviceHolder {
  std::string command;  // the program's name, as the system shows it
  pid_t pid = 0;
};

// The other processes that have the device open, as far as /proc tells (Linux); empty
// where it tells nothing. This process itself is left out.
std::vector<DeviceHolder> device_holders(const std::string& path);

}  // namespace serial
