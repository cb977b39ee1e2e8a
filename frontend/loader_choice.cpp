#include "frontend/loader_choice.h"

#include <cctype>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

#include "resources/loader_image.h"

namespace frontend {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::uint8_t, 4> loader_magic = {0x00, 0x52, 0x50, 0x4F};
constexpr std::size_t trailer_size = 4;

bool header_ok(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= loader_magic.size() &&
         std::equal(loader_magic.begin(), loader_magic.end(), bytes.begin());
}

bool crc_ok(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < trailer_size) return false;
  const std::size_t body = bytes.size() - trailer_size;
  // zlib takes its length as a uInt; a loader file is far below that (1 MiB at most).
  const auto trailer =
      ~static_cast<std::uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(body)));
  std::uint32_t stored = 0;
  for (std::size_t i = body; i < bytes.size(); ++i) stored = (stored << 8) | bytes[i];
  return stored == trailer;
}

// The system's words without the line end or full stop some systems add.
std::string system_reason(const std::error_code& error) {
  std::string text = error.message();
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' ')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(error.value()) : text;
}

fs::path path_from_utf8(const std::string& path) {
#ifdef _WIN32
  return fs::path(std::u8string(path.begin(), path.end()));
#else
  return fs::path(path);
#endif
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> open_for_reading(const fs::path& path) {
#ifdef _WIN32
  return std::unique_ptr<std::FILE, FileCloser>(_wfopen(path.c_str(), L"rb"));
#else
  return std::unique_ptr<std::FILE, FileCloser>(std::fopen(path.c_str(), "rb"));
#endif
}

std::string too_large_reason(std::uintmax_t size) {
  return "it is " + std::to_string(size) +
         " bytes, more than the 1 MiB (1048576 bytes) a loader image can be";
}

std::string size_phrase(std::size_t size) {
  return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

}  // namespace

std::variant<LoaderFile, LoaderRefusal> load_loader_file(const std::string& path) {
  const auto refused = [&](std::string reason) { return LoaderRefusal{path, std::move(reason)}; };
  if (path.empty()) return refused("no file was named");
  const fs::path file_path = path_from_utf8(path);

  // The kind and size first, so a folder, a device or a huge file is never read.
  std::error_code error;
  const fs::file_status status = fs::status(file_path, error);
  if (error) return refused(system_reason(error));
  if (fs::is_directory(status)) return refused("it is a folder, not a file");
  if (!fs::is_regular_file(status)) return refused("it is not a regular file");
  const std::uintmax_t size = fs::file_size(file_path, error);
  if (error) return refused(system_reason(error));
  if (size > loader_file_size_limit) return refused(too_large_reason(size));

  errno = 0;
  const auto file = open_for_reading(file_path);
  if (!file) {
    return refused(errno != 0 ? system_reason(std::error_code(errno, std::generic_category()))
                              : "it cannot be opened");
  }
  // Up to one byte past the limit: a file that grew since its size was read is still caught.
  LoaderFile loaded;
  loaded.path = path;
  loaded.bytes.resize(loader_file_size_limit + 1);
  const std::size_t read = std::fread(loaded.bytes.data(), 1, loaded.bytes.size(), file.get());
  if (std::ferror(file.get())) {
    return refused(errno != 0 ? system_reason(std::error_code(errno, std::generic_category()))
                              : "it cannot be read");
  }
  loaded.bytes.resize(read);
  loaded.bytes.shrink_to_fit();
  if (read > loader_file_size_limit) return refused(too_large_reason(read));
  if (read == 0) return refused("it is empty");

  loaded.size_ok = read == loader_image_size;
  loaded.header_ok = header_ok(loaded.bytes);
  loaded.crc_ok = crc_ok(loaded.bytes);
  return loaded;
}

std::string refusal_text(const LoaderRefusal& refusal) {
  return "\"" + refusal.path + "\" cannot be used as the loader image: " + refusal.reason;
}

std::vector<std::string> loader_warnings(const LoaderFile& file) {
  std::vector<std::string> warnings;
  if (!file.size_ok) warnings.push_back("it is " + size_phrase(file.bytes.size()) + ", not 43,044");
  if (!file.header_ok) warnings.push_back("its header does not begin 00 52 50 4F");
  if (!file.crc_ok) {
    warnings.push_back(
        "its last four bytes are not the CRC-32 trailer of the bytes before them (big-endian, "
        "the ones' complement of zlib's crc32)");
  }
  return warnings;
}

std::string loader_warning_text(const LoaderFile& file) {
  const std::vector<std::string> warnings = loader_warnings(file);
  if (warnings.empty()) return {};
  std::string text = "\"" + file.path + "\" does not look like a DM500 loader: ";
  for (std::size_t i = 0; i < warnings.size(); ++i) text += (i > 0 ? "; " : "") + warnings[i];
  return text + ". It is sent as it is.";
}

boot::LoaderImage built_in_loader() {
  boot::LoaderImage image;
  if (const auto bytes = resources::find_rcdata("dmboot")) image.bytes = *bytes;
  image.source = resources::embedded_loader_is_stand_in() ? boot::LoaderSource::stand_in
                                                          : boot::LoaderSource::file;
  image.header_ok = header_ok(image.bytes);
  image.crc_ok = crc_ok(image.bytes);
  return image;
}

boot::LoaderImage LoaderChoice::image() const {
  if (!file) return built_in_loader();
  boot::LoaderImage image;
  image.bytes = file->bytes;
  image.source = boot::LoaderSource::file;
  image.header_ok = file->header_ok;
  image.crc_ok = file->crc_ok;
  return image;
}

bool LoaderChoice::sends_stand_in() const {
  return !file && resources::embedded_loader_is_stand_in();
}

std::string LoaderChoice::description() const {
  if (!file) return resources::loader_image_description();
  std::string text = "loader image: " + file->path + " (" + size_phrase(file->bytes.size());
  if (!file->size_ok) text += ", not 43,044";
  text += file->header_ok ? ", header 00 52 50 4F ok" : ", no 00 52 50 4F header";
  text += file->crc_ok ? ", CRC-32 trailer ok)" : ", CRC-32 trailer wrong)";
  return text;
}

std::string LoaderChoice::description_sentence() const {
  std::string text = description();
  if (!text.empty()) {
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  }
  return text;
}

std::optional<LoaderRefusal> reload_loader_file(LoaderChoice& choice) {
  if (!choice.file) return std::nullopt;
  auto loaded = load_loader_file(choice.file->path);
  if (auto* refusal = std::get_if<LoaderRefusal>(&loaded)) return std::move(*refusal);
  choice.file = std::get<LoaderFile>(std::move(loaded));
  return std::nullopt;
}

}  // namespace frontend
