#include "app/Unit1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/ScreenLog.h"
#include "app/help_page.h"
#include "app/link_label.h"
#include "app/loader_setting.h"
#include "app/port_list_delegate.h"
#include "app/skin.h"
#include "app/status_lamp.h"
#include "app/title_bar.h"
#include "app/window_panel.h"
#include "frontend/diagnosis.h"
#include "frontend/file_write.h"
#include "frontend/pane_text.h"
#include "frontend/port_list.h"
#include "frontend/program.h"
#include "resources/loader_image.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"

TForm1* Form1 = nullptr;

namespace {

constexpr int client_width = 610;
constexpr int client_height = 345;
// The window's own frame around the title bar and the client area.
constexpr int frame_width = 1;
constexpr QPoint opening_position{322, 198};
constexpr std::chrono::milliseconds lamp_interval{100};

template <typename Widget>
Widget* placed(Widget* widget, const char* name, QRect geometry) {
  widget->setObjectName(QString::fromLatin1(name));
  // The stylesheet stops the window's font at the group box; each control takes it itself.
  widget->setFont(app::window_font());
  widget->setGeometry(geometry);
  return widget;
}

QString from_utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string to_utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString loader_line(const frontend::LoaderChoice& choice) {
  return from_utf8(choice.description_sentence());
}

const QString flash_mode_hint =
    QStringLiteral("Upload the loader and ask it whether the flash answers");

QString ask_with_file_dialog(QWidget* parent, const frontend::LoaderChoice& choice) {
  const QString folder =
      choice.file ? QFileInfo(from_utf8(choice.file->path)).absolutePath() : QString();
  return QFileDialog::getOpenFileName(parent, QStringLiteral("Loader image"), folder,
                                      QStringLiteral("Loader images (*.bin);;All files (*)"));
}

void show_about_box(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);  // a file's path is no markup
  box.exec();
}

}  // namespace

TForm1::TForm1(WindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowSystemMenuHint),
      port_(setup.port ? std::move(setup.port) : std::make_unique<serial::SerialPort>()),
      clock_(setup.clock ? std::move(setup.clock) : std::make_unique<boot::SystemClock>()),
      settings_(std::move(setup.settings)),
      ask_loader_file_(std::move(setup.ask_loader_file)),
      about_box_(std::move(setup.about_box)),
      describe_port_(setup.describe_port ? std::move(setup.describe_port)
                                         : frontend::PortDescriber(serial::describe_port)),
      platform_port_candidates_(std::move(setup.platform_port_candidates)),
      extra_port_names_(std::move(setup.extra_port_names)),
      open_url_(setup.open_url ? std::move(setup.open_url) : &QDesktopServices::openUrl),
      error_box_(setup.error_box ? std::move(setup.error_box) : app::message_box_over(this)),
      panel_(std::make_unique<app::WindowPanel>(*this)) {
  Form1 = this;
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Pellora By Vantrosk"));
  setWindowIcon(app::app_icon());
  setAttribute(Qt::WA_StyledBackground);
  setFont(app::window_font());
  setStyleSheet(app::skin_style_sheet());

  const QString program_dir =
      setup.program_dir.isEmpty() ? QCoreApplication::applicationDirPath() : setup.program_dir;
  help_url_ = app::help_page_url(program_dir);

  if (!ask_loader_file_)
    ask_loader_file_ = [this] { return ask_with_file_dialog(this, loader_choice_); };
  if (!about_box_) {
    about_box_ = [this](const QString& title, const QString& text) {
      show_about_box(this, title, text);
    };
  }

  build_controls();
  add_loader_actions();
  connect_handlers();
  restore_loader_choice();
  show_loader_in_use();
  FormCreate();
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::build_controls() {
  title_bar_ = new app::TitleBar(windowTitle(), this);
  client_area_ = new QWidget(this);
  client_area_->setObjectName(QStringLiteral("clientArea"));
  client_area_->setFixedSize(client_width, client_height);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(frame_width, frame_width, frame_width, frame_width);
  column->setSpacing(0);
  column->addWidget(title_bar_);
  column->addWidget(client_area_);
  setFixedSize(client_width + 2 * frame_width,
               app::title_bar_height + client_height + 2 * frame_width);
  move(opening_position);

  spSkinGroupBox1 = placed(new QGroupBox(QStringLiteral("Main Interface:"), client_area_),
                           "spSkinGroupBox1", {1, 1, 606, 338});
  QWidget* box = spSkinGroupBox1;

  spSkinButton1 = placed(new QPushButton(QStringLiteral("Detect DM >>"), box), "spSkinButton1",
                         {4, 33, 121, 25});
  spSkinButton1->setEnabled(false);
  spSkinButton1->setToolTip(
      QStringLiteral("Start the check, then switch the box on. Esc aborts the wait."));

  flsmode =
      placed(new QRadioButton(QStringLiteral("Flash Mode"), box), "flsmode", {153, 29, 150, 25});
  flsmode->setToolTip(flash_mode_hint);
  testmode =
      placed(new QRadioButton(QStringLiteral("Test Mode"), box), "testmode", {153, 49, 150, 25});
  testmode->setToolTip(QStringLiteral("Only wake the console and show what the box prints"));
  mode_group_ = new QButtonGroup(this);
  mode_group_->setExclusive(true);
  mode_group_->addButton(flsmode);
  mode_group_->addButton(testmode);

  spSkinLinkLabel1 = placed(new app::LinkLabel(QStringLiteral("Forum / Support"), box),
                            "spSkinLinkLabel1", {329, 31, 97, 17});
  spSkinLinkLabel1->setFont(app::link_font());
  spSkinLinkLabel1->setToolTip(QStringLiteral("Join Us at : ") + help_url_.toString());

  spSkinComboBox1 = placed(new QComboBox(box), "spSkinComboBox1", {440, 25, 161, 22});
  spSkinComboBox1->setMaxVisibleItems(8);
  spSkinComboBox1->setPlaceholderText(QStringLiteral("Choose a port"));
  spSkinComboBox1->setToolTip(QStringLiteral("The serial port the box is wired to"));
  spSkinComboBox1->setItemDelegate(new app::PortListDelegate(spSkinComboBox1));

  spSkinButton2 = placed(new QPushButton(QStringLiteral("Detect Port"), box), "spSkinButton2",
                         {441, 49, 159, 17});
  spSkinButton2->setToolTip(QStringLiteral("List the serial ports that can be opened"));

  spSkinButton3 =
      placed(new QPushButton(QStringLiteral("Save Log"), box), "spSkinButton3", {5, 74, 120, 20});
  spSkinButton3->setToolTip(QStringLiteral("Write the log to Log.log in the current folder"));
  spSkinButton3->hide();

  ComLed2 =
      placed(new app::StatusLamp(QColor(0x2e, 0xcc, 0x71), box), "ComLed2", {487, 73, 25, 25});
  ComLed2->setToolTip(QStringLiteral("Port open"));
  ComLed1 =
      placed(new app::StatusLamp(QColor(0xe7, 0x4c, 0x3c), box), "ComLed1", {527, 73, 25, 25});
  ComLed1->setToolTip(QStringLiteral("Received bytes waiting"));

  Memo1 = placed(new app::LogPane(box), "Memo1", {4, 104, 592, 209});
  Memo1->setFont(app::log_font());
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setWordWrapMode(QTextOption::WrapAnywhere);  // like a terminal: hex lines stay whole
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setTabChangesFocus(false);
  Memo1->setUndoRedoEnabled(false);

  PP = placed(new QProgressBar(box), "PP", {4, 315, 601, 21});
  PP->setRange(0, 100);
  PP->setValue(0);
  PP->setFormat(QStringLiteral("%p%"));
  PP->setAlignment(Qt::AlignCenter);
  PP->setTextVisible(true);

  // Tab order: the log first, then the controls as they read left to right.
  QWidget::setTabOrder(Memo1, spSkinButton1);
  QWidget::setTabOrder(spSkinButton1, flsmode);
  QWidget::setTabOrder(flsmode, testmode);
  QWidget::setTabOrder(testmode, spSkinComboBox1);
  QWidget::setTabOrder(spSkinComboBox1, spSkinButton2);
  QWidget::setTabOrder(spSkinButton2, spSkinButton3);
  Memo1->setFocus();
}

// In the system menu, before "Close": the loader image to send, and About.
void TForm1::add_loader_actions() {
  QMenu* menu = title_bar_->system_menu();
  QAction* close_action = menu->findChild<QAction*>(QStringLiteral("closeAction"));
  loader_file_action_ = new QAction(QStringLiteral("Loader image…"), menu);
  loader_file_action_->setObjectName(QStringLiteral("loaderFileAction"));
  built_in_loader_action_ = new QAction(resources::embedded_loader_is_stand_in()
                                            ? QStringLiteral("Use the built-in stand-in")
                                            : QStringLiteral("Use the built-in image"),
                                        menu);
  built_in_loader_action_->setObjectName(QStringLiteral("builtInLoaderAction"));
  // The check mark shows which image goes out.
  auto* loader_group = new QActionGroup(menu);
  for (QAction* action : {loader_file_action_, built_in_loader_action_}) {
    action->setCheckable(true);
    loader_group->addAction(action);
  }
  auto* about_action = new QAction(QStringLiteral("About Pellora"), menu);
  about_action->setObjectName(QStringLiteral("aboutAction"));

  menu->insertAction(close_action, loader_file_action_);
  menu->insertAction(close_action, built_in_loader_action_);
  menu->insertSeparator(close_action);
  menu->insertAction(close_action, about_action);
  menu->insertSeparator(close_action);

  connect(loader_file_action_, &QAction::triggered, this, [this] { LoaderImageClick(); });
  connect(built_in_loader_action_, &QAction::triggered, this, [this] { BuiltInLoaderClick(); });
  connect(about_action, &QAction::triggered, this, [this] { AboutClick(); });
}

void TForm1::connect_handlers() {
  connect(spSkinButton1, &QPushButton::clicked, this, [this] { spSkinButton1Click(); });
  connect(spSkinButton2, &QPushButton::clicked, this, [this] { spSkinButton2Click(); });
  connect(spSkinButton3, &QPushButton::clicked, this, [this] { spSkinButton3Click(); });
  connect(flsmode, &QRadioButton::clicked, this, [this] { flsmodeClick(); });
  connect(testmode, &QRadioButton::clicked, this, [this] { testmodeClick(); });
  connect(spSkinLinkLabel1, &app::LinkLabel::clicked, this, [this] { spSkinLinkLabel1Click(); });

  connect(title_bar_, &app::TitleBar::close_clicked, this, &QWidget::close);
  connect(title_bar_, &app::TitleBar::minimise_clicked, this, &QWidget::showMinimized);
  connect(title_bar_, &app::TitleBar::roll_up_clicked, this, &TForm1::toggle_roll_up);

  // The lamps follow the port whenever the window processes its messages; polling keeps the
  // process idle while an open port holds unread bytes.
  lamp_timer_.setInterval(lamp_interval);
  connect(&lamp_timer_, &QTimer::timeout, this, &TForm1::update_lamps);
  lamp_timer_.start();
}

void TForm1::FormCreate() {
  // Key preview: the window sees every key before the focused control does.
  qApp->installEventFilter(this);
  abort_flag_ = false;
  temp_dir_ = QDir::tempPath() + QLatin1Char('/');
}

void TForm1::FormKeyDown(int key) {
  if (key == Qt::Key_Escape) abort_flag_ = true;
}

void TForm1::flsmodeClick() {
  spSkinButton1->setEnabled(true);
}

void TForm1::testmodeClick() {
  spSkinButton1->setEnabled(true);
}

boot::CheckRequest TForm1::check_request() const {
  boot::CheckRequest request;
  if (spSkinComboBox1->currentIndex() >= 0) {
    request.port = spSkinComboBox1->currentText().toStdString();
  }
  request.mode = flsmode->isChecked() ? boot::Mode::flash : boot::Mode::test;
  request.loader = loader_choice_.image();
  return request;
}

bool TForm1::prepare_loader() {
  if (const auto refusal = frontend::reload_loader_file(loader_choice_)) {
    show_error(from_utf8(frontend::refusal_text(*refusal)));
    return false;
  }
  show_loader_in_use();  // a replaced file may say other things of itself
  if (loader_choice_.file) {
    const std::string warning = frontend::loader_warning_text(*loader_choice_.file);
    if (!warning.empty()) show_notice(from_utf8(warning), app::NoticeKind::hint);
    return true;
  }
  // The simulated box answers any well-made image; only a real box needs the warning.
  const std::string port = spSkinComboBox1->currentText().toStdString();
  const bool simulated = std::find(extra_port_names_.begin(), extra_port_names_.end(), port) !=
                         extra_port_names_.end();
  if (loader_choice_.sends_stand_in() && !simulated) {
    show_notice(from_utf8(frontend::stand_in_notice()), app::NoticeKind::hint);
  }
  return true;
}

void TForm1::spSkinButton1Click() {
  if (boot_check_running_ || scan_running_) return;
  // The window offers "Detect DM >>" only once a mode is chosen.
  if (!flsmode->isChecked() && !testmode->isChecked()) return;
  show_notice({}, app::NoticeKind::info);
  // A file that cannot be read now starts no check: the port stays as it is.
  if (flsmode->isChecked() && !prepare_loader()) return;
  boot_check_running_ = true;
  // The image views the choice's bytes: the choice stays as it is until the check ends.
  loader_file_action_->setEnabled(false);
  built_in_loader_action_->setEnabled(false);
  run_guarded(
      [this] { last_report_ = boot::run_boot_check(*panel_, *port_, *clock_, check_request()); });
  boot_check_running_ = false;
  loader_file_action_->setEnabled(true);
  built_in_loader_action_->setEnabled(true);
  update_lamps();
  if (last_report_) explain(*last_report_);
  // The window was closed during the check: it ends now that the check has.
  if (close_requested_) close();
}

void TForm1::explain(const boot::Report& report) {
  const bool good = report.outcome == boot::Outcome::success && report.after_verdict_note.empty();
  show_notice(from_utf8(frontend::diagnosis(report)),
              good ? app::NoticeKind::good : app::NoticeKind::trouble);
  // The port has been released by now, so the box over the window waits on nothing.
  if (report.outcome == boot::Outcome::device_error) show_error(from_utf8(report.error));
}

void TForm1::spSkinButton2Click() {
  run_guarded([this] { rebuild_port_list(); });
}

void TForm1::spSkinButton3Click() {
  run_guarded([this] {
    // Once the current folder has been deleted Qt's current path is empty, and an absolute
    // path built on it would name the root folder; the bare name fails there as it should.
    const QString name = QString::fromLatin1(frontend::log_file_name);
    const QString folder = QDir::currentPath();
    const QString path = folder.isEmpty() ? name : QDir(folder).absoluteFilePath(name);
    const QString shown_path = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QByteArray bytes = log_bytes();
    const auto failure = frontend::write_file(
        QFile::encodeName(path).toStdString(),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (failure) {
      show_error(from_utf8(frontend::save_log_error_text(shown_path.toStdString(), *failure)));
      return;
    }
    show_notice(QStringLiteral("Log saved to %1").arg(shown_path), app::NoticeKind::info);
  });
}

void TForm1::spSkinLinkLabel1Click() {
  run_guarded([this] {
    if (!open_url_(help_url_)) {
      show_error(QStringLiteral("Cannot open the help page ") + help_url_.toString());
    }
  });
}

void TForm1::LoaderImageClick() {
  run_guarded([this] {
    if (boot_check_running_) return;
    const QString path = ask_loader_file_();
    if (!path.isEmpty()) choose_loader_file(path, true);
    show_loader_in_use();  // the menu's check mark follows the choice, not the click
  });
}

void TForm1::BuiltInLoaderClick() {
  run_guarded([this] {
    if (boot_check_running_) return;
    loader_choice_.file.reset();
    remember_loader_choice();
    show_loader_in_use();
    show_notice(loader_line(loader_choice_), app::NoticeKind::info);
  });
}

void TForm1::AboutClick() {
  run_guarded([this] {
    about_box_(QStringLiteral("About Pellora"),
               from_utf8(frontend::about_text(loader_choice_.description(),
                                              to_utf8(help_url_.toString()))));
  });
}

bool TForm1::choose_loader_file(const QString& path, bool remember) {
  if (boot_check_running_) return false;
  auto loaded = frontend::load_loader_file(to_utf8(path));
  if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
    show_error(from_utf8(frontend::refusal_text(*refusal)));
    return false;
  }
  loader_choice_.file = std::get<frontend::LoaderFile>(std::move(loaded));
  if (remember) remember_loader_choice();
  show_loader_in_use();
  const std::string warning = frontend::loader_warning_text(*loader_choice_.file);
  if (warning.empty()) {
    show_notice(loader_line(loader_choice_), app::NoticeKind::info);
  } else {
    show_notice(from_utf8(warning), app::NoticeKind::hint);
  }
  return true;
}

void TForm1::restore_loader_choice() {
  if (!settings_) return;
  const QString path = app::remembered_loader_file(*settings_);
  if (path.isEmpty()) return;
  auto loaded = frontend::load_loader_file(to_utf8(path));
  if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
    // It stays remembered: a file on a stick that is not plugged in yet may come back.
    show_notice(from_utf8(frontend::refusal_text(*refusal)) +
                    QStringLiteral(". The built-in image is used instead."),
                app::NoticeKind::trouble);
    return;
  }
  loader_choice_.file = std::get<frontend::LoaderFile>(std::move(loaded));
  const std::string warning = frontend::loader_warning_text(*loader_choice_.file);
  if (!warning.empty()) show_notice(from_utf8(warning), app::NoticeKind::hint);
}

void TForm1::remember_loader_choice() {
  if (!settings_) return;
  app::remember_loader_file(*settings_,
                            loader_choice_.file ? from_utf8(loader_choice_.file->path) : QString());
}

void TForm1::show_loader_in_use() {
  const QString line = loader_line(loader_choice_);
  flsmode->setToolTip(flash_mode_hint + QLatin1Char('\n') + line);
  Memo1->setPlaceholderText(log_hint_.isEmpty() ? line : log_hint_ + QStringLiteral("\n\n") + line);
  (loader_choice_.file ? loader_file_action_ : built_in_loader_action_)->setChecked(true);
}

void TForm1::FormClose() {
  const QString stale_file = temp_dir_ + QStringLiteral("dmb");
  if (QFile::exists(stale_file)) QFile::remove(stale_file);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (boot_check_running_) {
    // The check ends at its next step and spSkinButton1Click closes the window then.
    abort_flag_ = true;
    close_requested_ = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this) {
      FormKeyDown(static_cast<QKeyEvent*>(event)->key());
    }
  }
  return false;  // the key goes on to the focused control
}

std::vector<QWidget*> TForm1::control_set() const {
  return {spSkinButton1, spSkinComboBox1, spSkinButton2, flsmode, testmode};
}

void TForm1::disable_control_set() {
  for (QWidget* control : control_set()) control->setEnabled(false);
}

void TForm1::enable_control_set() {
  for (QWidget* control : control_set()) control->setEnabled(true);
}

void TForm1::clear_log() {
  Memo1->clear();
}

void TForm1::add_log_line(std::string_view text) {
  // A zero byte ends the text; the line still ends where it should.
  text = text.substr(0, text.find('\0'));
  QTextCursor end(Memo1->document());
  end.movePosition(QTextCursor::End);
  end.insertText(QString::fromStdU16String(frontend::pane_text(text, u"\n")) + QLatin1Char('\n'));
  Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

QByteArray TForm1::log_bytes() const {
  return QByteArray::fromStdString(
      frontend::log_bytes(Memo1->document()->toRawText().toStdU16String()));
}

void TForm1::set_log_hint(const QString& hint) {
  log_hint_ = hint;
  show_loader_in_use();
}

void TForm1::show_notice(const QString& text, app::NoticeKind kind) {
  Memo1->show_notice(text, kind);
}

void TForm1::rebuild_port_list() {
  // The scan may let the window process messages (a lamp, a repaint); a click meanwhile
  // must not start a second scan on the same port.
  if (scan_running_) return;
  scan_running_ = true;
  struct ScanEnd {
    bool& running;
    ~ScanEnd() { running = false; }
  } scan_end{scan_running_};

  spSkinComboBox1->clear();
  spSkinComboBox1->repaint();
  for (const frontend::PortEntry& entry : frontend::scan_port_list(
           *port_, extra_port_names_, platform_port_candidates_(), describe_port_)) {
    app::add_port_item(*spSkinComboBox1, QString::fromStdString(entry.name),
                       from_utf8(entry.description));
  }
  app::fit_popup_width(*spSkinComboBox1);
  // The user picks the port; the list does not pick one for them.
  spSkinComboBox1->setCurrentIndex(-1);
  update_lamps();
  if (spSkinComboBox1->count() > 0) spSkinComboBox1->showPopup();
}

void TForm1::show_error(const QString& message) {
  error_box_(
      from_utf8(frontend::error_box_title(QCoreApplication::applicationFilePath().toStdString())),
      from_utf8(frontend::error_box_text(message.toStdString())));
}

void TForm1::show_progress(int percent) {
  ScreenLog::show_percent(*PP, percent);
  emit progress_shown(percent);
}

void TForm1::toggle_roll_up() {
  rolled_up_ = !rolled_up_;
  client_area_->setVisible(!rolled_up_);
  const int height = app::title_bar_height + (rolled_up_ ? 0 : client_height) + 2 * frame_width;
  setFixedSize(client_width + 2 * frame_width, height);
  title_bar_->show_rolled_up(rolled_up_);
}

void TForm1::update_lamps() {
  const bool open = port_->is_open();
  bool bytes_waiting = false;
  if (open) {
    try {
      bytes_waiting = port_->bytes_waiting() > 0;
    } catch (const std::exception&) {
      // A lamp has nothing to say about a failing device; the next read will.
    }
  }
  ComLed2->set_lit(open);
  ComLed1->set_lit(bytes_waiting);
}

void TForm1::run_guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    show_error(QString::fromUtf8(error.what()));
  }
}
