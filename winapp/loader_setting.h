#pragma once
// Where the window remembers, between runs, which loader image the user chose: the user's
// registry, where a Qt build of the window on Windows keeps it too
// (HKEY_CURRENT_USER\Software\Pellora\pellora\loader, value "file").

#include <string>

namespace winapp {

// The file chosen last time (UTF-8); empty for the built-in image.
std::string remembered_loader_file();
// An empty path remembers the built-in image.
void remember_loader_file(const std::string& path);

}  // namespace winapp
