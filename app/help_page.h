#pragma once
// The help page behind "Forum / Support": our own page, installed with the program.

#include <QString>
#include <QUrl>

namespace app {

// Where the page is for a program in program_dir: help/index.html beside it (the build
// tree), else ../share/pellora/help/index.html (installed). When neither exists, the
// installed place, so the address still says where the page belongs.
QString help_page_path(const QString& program_dir);

QUrl help_page_url(const QString& program_dir);

}  // namespace app
