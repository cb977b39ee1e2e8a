// Build-host tool for the loader image the program carries. It runs during the build (and,
// for a supplied image, at configure time), so it uses nothing but the standard library.
//
//   loader_tool stand-in <image.bin> <embedded.cpp>   write the stand-in image and its source
//   loader_tool embed <image.bin> <embedded.cpp>      embed a supplied image unchanged
//   loader_tool check <image.bin>                     describe it; exit 3 if it looks wrong
//
// Stand-in layout (43,044 bytes, all numbers big-endian):
//   0   4  magic 00 52 50 4F
//   4   4  image size
//   8   4  entry offset (32)
//   12  4  code size (4)
//   16 16  name "pellora stand-in", zero padded
//   32  4  48 00 00 00, PowerPC "b ." - an idle loop, the only code in it
//   36  ..  zero filler
//   end-4 4  CRC-32 trailer: the ones' complement of zlib's crc32 of every byte before it
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t stand_in_size = 43044;
constexpr std::size_t header_size = 32;
constexpr std::array<std::uint8_t, 4> magic = {0x00, 0x52, 0x50, 0x4F};
constexpr std::uint32_t idle_loop = 0x48000000;  // b .
constexpr std::string_view stand_in_name = "pellora stand-in";

constexpr int exit_ok = 0;
constexpr int exit_usage = 1;
constexpr int exit_unreadable = 2;
constexpr int exit_suspect = 3;

// zlib's CRC-32 (reflected, polynomial 0xEDB88320, inverted at both ends).
std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void put_big_endian(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  }
}

std::uint32_t get_big_endian(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | bytes[offset + i];
  return value;
}

// The trailer a loader image carries: CRC-32 of the bytes before it, without the final
// inversion.
std::uint32_t expected_trailer(const Bytes& image) {
  return ~crc32(image.data(), image.size() - 4);
}

Bytes make_stand_in() {
  Bytes image(stand_in_size, 0);
  std::copy(magic.begin(), magic.end(), image.begin());
  put_big_endian(image, 4, static_cast<std::uint32_t>(stand_in_size));
  put_big_endian(image, 8, static_cast<std::uint32_t>(header_size));
  put_big_endian(image, 12, 4);
  std::copy(stand_in_name.begin(), stand_in_name.end(), image.begin() + 16);
  put_big_endian(image, header_size, idle_loop);
  put_big_endian(image, image.size() - 4, expected_trailer(image));
  return image;
}

std::string hex32(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string file_name_of(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Findings {
  bool magic_ok = false;
  bool trailer_ok = false;
  std::string text;  // size, magic and trailer, in words
};

// With say_good_magic the text also confirms a good header, for the configure step's note.
Findings examine(const Bytes& image, bool say_good_magic = false) {
  Findings found;
  found.magic_ok =
      image.size() >= magic.size() && std::equal(magic.begin(), magic.end(), image.begin());
  std::ostringstream text;
  text << image.size() << " bytes";
  if (!found.magic_ok) text << ", no 00 52 50 4F header magic";
  if (found.magic_ok && say_good_magic) text << ", header magic 00 52 50 4F ok";
  if (image.size() < 4) {
    text << ", too short for a CRC-32 trailer";
  } else {
    const std::uint32_t stored = get_big_endian(image, image.size() - 4);
    const std::uint32_t expected = expected_trailer(image);
    found.trailer_ok = stored == expected;
    text << ", CRC-32 trailer " << hex32(stored);
    if (found.trailer_ok) {
      text << " ok";
    } else {
      text << " wrong, the bytes before it give " << hex32(expected);
    }
  }
  found.text = text.str();
  return found;
}

std::optional<Bytes> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return static_cast<bool>(out);
}

std::string c_string_literal(std::string_view text) {
  std::string literal = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') literal += '\\';
    if (static_cast<unsigned char>(c) < 0x20) continue;  // no control characters in a name
    literal += c;
  }
  return literal + "\"";
}

std::string embedded_source(const Bytes& image, const std::string& description,
                            const std::string& origin, bool is_stand_in) {
  std::ostringstream out;
  out << "// Generated by loader_tool from " << file_name_of(origin) << "; do not edit.\n"
      << "#include \"resources/embedded_loader.h\"\n\n"
      << "namespace resources::embedded {\n\n"
      << "const std::size_t loader_size = " << image.size() << ";\n"
      << "const char loader_description[] = " << c_string_literal(description) << ";\n"
      << "const bool loader_is_stand_in = " << (is_stand_in ? "true" : "false") << ";\n"
      << "const std::uint8_t loader_bytes[] = {";
  if (image.empty()) out << "0";  // an array cannot be empty; loader_size says 0
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (i % 16 == 0) out << "\n   ";
    char byte[6];
    std::snprintf(byte, sizeof byte, " 0x%02X", image[i]);
    out << byte << ',';
  }
  out << "\n};\n\n}  // namespace resources::embedded\n";
  return out.str();
}

int fail(const std::string& message, int code) {
  std::cerr << "loader_tool: " << message << '\n';
  return code;
}

int write_source(const Bytes& image, const std::string& image_path, const std::string& cpp_path,
                 const std::string& description, bool is_stand_in) {
  if (!write_file(cpp_path, embedded_source(image, description, image_path, is_stand_in))) {
    return fail("cannot write " + cpp_path, exit_unreadable);
  }
  return exit_ok;
}

int stand_in(const std::string& image_path, const std::string& cpp_path) {
  const Bytes image = make_stand_in();
  if (!write_file(image_path, std::string(image.begin(), image.end()))) {
    return fail("cannot write " + image_path, exit_unreadable);
  }
  const std::string description = "loader image: stand-in (" + std::to_string(image.size()) +
                                  " bytes, idle loop; a real box will not answer its frames)";
  return write_source(image, image_path, cpp_path, description, true);
}

int embed(const std::string& image_path, const std::string& cpp_path) {
  const std::optional<Bytes> image = read_file(image_path);
  if (!image) return fail("cannot read " + image_path, exit_unreadable);
  const std::string description =
      "loader image: supplied " + file_name_of(image_path) + " (" + examine(*image).text + ")";
  return write_source(*image, image_path, cpp_path, description, false);
}

int check(const std::string& image_path) {
  const std::optional<Bytes> image = read_file(image_path);
  if (!image) return fail("cannot read " + image_path, exit_unreadable);
  const Findings found = examine(*image, true);
  std::cout << found.text << '\n';
  return found.magic_ok && found.trailer_ok ? exit_ok : exit_suspect;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "stand-in") return stand_in(args[1], args[2]);
  if (args.size() == 3 && args[0] == "embed") return embed(args[1], args[2]);
  if (args.size() == 2 && args[0] == "check") return check(args[1]);
  return fail("usage: loader_tool stand-in|embed <image.bin> <embedded.cpp> | check <image.bin>",
              exit_usage);
}
