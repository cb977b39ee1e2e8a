#pragma once
// A program started with stdin, stdout or stderr closed (`prog >&-`) would hand those
// descriptor numbers to the next files it opens: the serial port could become descriptor 1,
// and every line printed for the user would go down the wire to the box. Each front end calls
// this first thing in main().

namespace frontend {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. False if one could not
// be opened (the program should then end: it cannot keep its files apart). Does nothing on
// Windows, whose handles are not numbered that way.
bool fill_closed_standard_streams();

}  // namespace frontend
