#pragma once
// What every front end says about itself and how its default error box reads.

#include <string>
#include <string_view>

namespace frontend {

// "pellora 0.1.0" and a second line naming the loader image in use.
std::string version_text(std::string_view program, std::string_view loader_description);

// What "About Pellora" says in either window: the version, the loader image in use, what the
// program is for, and where its help page is.
std::string about_text(std::string_view loader_description, std::string_view help_address);

// The error's message with "." appended, unless it is empty or already ends in "." or in a
// character that sorts before it.
std::string error_box_text(std::string_view message);

// The box's title from the program file's name: no folder, nothing from the first "." on,
// the first character as it stands and every one after it in lower case.
std::string error_box_title(std::string_view program_file);

}  // namespace frontend
