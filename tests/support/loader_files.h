#pragma once
// Loader image files for the tests of every front end: images made here (header magic,
// filler, CRC trailer by the box's rule, so nothing depends on the image the program
// carries), and one table of files a user might name, with what each front end must make
// of them.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

// A well-made loader image of that size; another seed gives other bytes.
Bytes valid_loader(std::size_t size = 43044, std::uint8_t seed = 1);

void write_bytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes read_bytes(const std::filesystem::path& path);

struct LoaderFileCase {
  std::string name;
  // Makes the file (or leaves it out) in the folder and returns the path to name.
  std::function<std::filesystem::path(const std::filesystem::path& folder)> make;
  // A part of the reason the file is refused; empty when it is taken.
  std::string refusal;
  // For a file that is taken: which checks hold.
  bool size_ok = true, header_ok = true, crc_ok = true;

  bool taken() const { return refusal.empty(); }
  // A part of each warning the file must get (the checks that do not hold), in order.
  std::vector<std::string> warning_parts() const;
};

// good, wrong size, bad magic, bad CRC, empty, missing, folder, too large, ...
const std::vector<LoaderFileCase>& loader_file_cases();

inline void PrintTo(const LoaderFileCase& c, std::ostream* os) {
  *os << c.name;
}

// A temporary folder, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace test_support
