#pragma once
// Which tty device nodes a user's serial adapter could be, and in what order to list them.

#include <string>
#include <string_view>
#include <vector>

namespace serial {

// "ttyS2" before "ttyS10": runs of digits compare by their value, the rest byte by byte.
bool natural_less(std::string_view a, std::string_view b);

// From the names of the entries in dir, those of a serial family (ttyS, ttyUSB, ttyACM,
// ttyAMA, rfcomm, each followed by a number), as dir + "/" + name: grouped by family in
// that order, each family in natural order, each name once.
std::vector<std::string> serial_device_candidates(std::vector<std::string> entry_names,
                                                  std::string_view dir);

}  // namespace serial
