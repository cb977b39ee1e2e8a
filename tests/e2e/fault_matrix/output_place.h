#pragma once
// Where one run's log and report go, set up for the row's output target, and what must hold
// of it afterwards. The same place serves both front ends: pellora-cli is given log_path()
// and report_path(); the window's "Save Log" writes Log.log in window_folder().
//
// Tests run as root, and root writes anywhere a mode forbids: so where a folder must be
// closed to the user, the write is done as "nobody" (pellora-cli started as that user, the
// window's save made under that effective user). Run as anyone else, the folder's modes do.

#include <filesystem>
#include <optional>
#include <string>

#include "faults.h"

namespace fault_matrix {

bool running_as_root();

class OutputPlace {
 public:
  explicit OutputPlace(OutputTarget target);
  ~OutputPlace();
  OutputPlace(const OutputPlace&) = delete;
  OutputPlace& operator=(const OutputPlace&) = delete;

  std::string log_path() const;
  std::string report_path() const;
  std::filesystem::path window_folder() const;
  // The write has to be made as "nobody" for the target to mean what it says.
  bool needs_unprivileged_writer() const;

  // What the log or report file holds afterwards, where the target keeps what it is given
  // (a file, or the file behind a link); nothing when it was not written or cannot be read.
  std::optional<std::string> written(const std::string& path) const;
  // The target's surroundings as they were: a device is still that device, a link still a
  // link, and a folder that refused the file holds no file and no leftover temporary.
  void expect_left_intact() const;

 private:
  OutputTarget target_;
  std::filesystem::path base_;    // the run's own folder
  std::filesystem::path folder_;  // where the files go
};

// The calling process acts as "nobody" for files while this lives (root only); everything
// else, threads included, keeps running.
class ActingAsNobody {
 public:
  explicit ActingAsNobody(bool wanted);
  ~ActingAsNobody();
  ActingAsNobody(const ActingAsNobody&) = delete;
  ActingAsNobody& operator=(const ActingAsNobody&) = delete;

 private:
  bool acting_ = false;
};

}  // namespace fault_matrix
