#include "tests/support/loader_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/unit/sim/test_image.h"

namespace test_support {

namespace fs = std::filesystem;

Bytes valid_loader(std::size_t size, std::uint8_t seed) {
  Bytes image(size);
  const std::uint8_t magic[] = {0x00, 0x52, 0x50, 0x4F};
  for (std::size_t i = 0; i < size; ++i) {
    image[i] = i < 4 ? magic[i] : static_cast<std::uint8_t>(i * seed + (i >> 9));
  }
  sim_test::seal_image(image);
  return image;
}

void write_bytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> LoaderFileCase::warning_parts() const {
  std::vector<std::string> parts;
  if (!size_ok) parts.push_back("not 43,044");
  if (!header_ok) parts.push_back("header does not begin 00 52 50 4F");
  if (!crc_ok) parts.push_back("not the CRC-32 trailer");
  return parts;
}

namespace {

std::function<fs::path(const fs::path&)> file_of(std::string name, Bytes bytes) {
  return [name = std::move(name), bytes = std::move(bytes)](const fs::path& folder) {
    const fs::path path = folder / name;
    write_bytes(path, bytes);
    return path;
  };
}

Bytes with_bad_magic() {
  Bytes image = valid_loader();
  image[1] = 0x51;
  sim_test::seal_image(image);  // only the header is wrong
  return image;
}

Bytes with_bad_crc() {
  Bytes image = valid_loader();
  image.back() ^= 0x01;
  return image;
}

}  // namespace

const std::vector<LoaderFileCase>& loader_file_cases() {
  static const std::vector<LoaderFileCase> cases = {
      {"good", file_of("dmboot.bin", valid_loader()), ""},
      {"wrong_size", file_of("long.bin", valid_loader(43048)), "", false, true, true},
      {"bad_magic", file_of("magic.bin", with_bad_magic()), "", true, false, true},
      {"bad_crc", file_of("crc.bin", with_bad_crc()), "", true, true, false},
      // Shorter than a header and a trailer: every check fails, none reads past the end.
      {"three_bytes", file_of("tiny.bin", Bytes{0x00, 0x52, 0x50}), "", false, false, false},
      {"largest_taken", file_of("mib.bin", valid_loader(1024 * 1024)), "", false, true, true},
      {"empty", file_of("empty.bin", {}), "it is empty"},
      {"missing", [](const fs::path& folder) { return folder / "absent.bin"; },
       "No such file or directory"},
      {"folder",
       [](const fs::path& folder) {
         fs::create_directory(folder / "images");
         return folder / "images";
       },
       "it is a folder, not a file"},
      {"too_large", file_of("big.bin", valid_loader(1024 * 1024 + 1)),
       "1048577 bytes, more than the 1 MiB"},
      // Reading a pipe nobody writes to would never end.
      {"fifo",
       [](const fs::path& folder) {
         const fs::path path = folder / "pipe";
         if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
         return path;
       },
       "it is not a regular file"},
  };
  return cases;
}

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "pellora-loader-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace test_support
