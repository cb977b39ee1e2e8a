#pragma once
// The loader image a Flash Mode check sends: the one built into the program, or a file the
// user chose (pellora-cli --loader, the window's "Loader image…"). Every front end reads
// and checks the file here, so they all refuse and warn alike.
//
// A front end keeps one LoaderChoice. When the user names a file:
//
//   auto loaded = frontend::load_loader_file(path);
//   if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
//     show(frontend::refusal_text(*refusal));   // the previous choice stays
//   } else {
//     choice.file = std::get<frontend::LoaderFile>(std::move(loaded));
//     warn(frontend::loader_warning_text(*choice.file));   // when not empty
//   }
//
// When a Flash Mode check starts, reload_loader_file(choice) reads the file again (a
// replaced file is noticed); on a refusal the check must not start. Then
// request.loader = choice.image().

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "boot/report.h"

namespace frontend {

// The size of the DM500's loader; an image of another size is sent all the same.
inline constexpr std::size_t loader_image_size = 43044;
// Larger files are refused: no loader is that big, and a wrong pick (a firmware image, a
// disk image) must not be read whole.
inline constexpr std::size_t loader_file_size_limit = 1024 * 1024;

// A loader image read whole from a file, and what its checks found.
struct LoaderFile {
  std::string path;                 // as the user gave it (UTF-8)
  std::vector<std::uint8_t> bytes;  // the whole file, sent unchanged
  bool size_ok = false;             // 43,044 bytes
  bool header_ok = false;           // begins 00 52 50 4F
  bool crc_ok = false;              // the last four bytes are, big-endian, the ones' complement of
                                    // zlib's crc32 of every byte before them
};

// Why a file cannot be used at all: missing, unreadable, a folder, empty, or over 1 MiB.
struct LoaderRefusal {
  std::string path;
  std::string reason;  // the system's words, or what is wrong with the file
};

// Reads the file whole and checks it.
std::variant<LoaderFile, LoaderRefusal> load_loader_file(const std::string& path);

// "\"<path>\" cannot be used as the loader image: <reason>", for stderr or a message box.
std::string refusal_text(const LoaderRefusal& refusal);

// What does not hold of the three checks, one phrase each ("it is 100 bytes, not
// 43,044"); empty when the image looks like a DM500 loader.
std::vector<std::string> loader_warnings(const LoaderFile& file);

// The warnings as one text that names the file and says it is sent all the same; empty
// when there are none.
std::string loader_warning_text(const LoaderFile& file);

// The image built into the program (the generated stand-in, or one embedded at build
// time), checked like a file.
boot::LoaderImage built_in_loader();

// What a front end has chosen.
struct LoaderChoice {
  std::optional<LoaderFile> file;  // empty: the built-in image

  // The image for a boot::CheckRequest. It views file->bytes: valid while this choice
  // lives unchanged.
  boot::LoaderImage image() const;
  // The stand-in goes out: a real box accepts it but cannot answer the frames.
  bool sends_stand_in() const;
  // One line for --version and About, starting "loader image: ".
  std::string description() const;
  // The same as a sentence of its own: "Loader image: ...", for the windows' notes.
  std::string description_sentence() const;
};

// Reads the chosen file again, as a check starts. A refusal leaves the choice as it was;
// the check must not start then. The built-in image needs no reading.
std::optional<LoaderRefusal> reload_loader_file(LoaderChoice& choice);

}  // namespace frontend
