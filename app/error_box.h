#pragma once
// The default error box: what any error escaping a handler looks like to the user.

#include <QString>
#include <functional>

class QWidget;

namespace app {

// The error's message with "." appended, unless it is empty or already ends in "." or in a
// character that sorts before it.
QString error_box_text(const QString& message);

// The box's title from the program file's name: no folder, nothing from the first "." on,
// the first character as it stands and every one after it in lower case.
QString error_box_title(const QString& program_file);

// Shows one error box; the tests put a recorder in its place so nothing blocks them.
using ErrorBox = std::function<void(const QString& title, const QString& text)>;

// A modal box with the stop icon and an OK button, over parent.
ErrorBox message_box_over(QWidget* parent);

}  // namespace app
