#pragma once
// The default error box: what any error escaping a handler looks like to the user.

#include <QString>
#include <functional>

class QWidget;

namespace app {

// Shows one error box; the tests put a recorder in its place so nothing blocks them.
using ErrorBox = std::function<void(const QString& title, const QString& text)>;

// A modal box with the stop icon and an OK button, over parent.
ErrorBox message_box_over(QWidget* parent);

}  // namespace app
