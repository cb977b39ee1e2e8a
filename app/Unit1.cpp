#include "app/Unit1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <exception>

#include "app/ScreenLog.h"
#include "app/help_page.h"
#include "app/link_label.h"
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

boot::LoaderImage embedded_loader() {
  boot::LoaderImage image;
  if (const auto bytes = resources::find_rcdata("dmboot")) image.bytes = *bytes;
  image.source = resources::embedded_loader_is_stand_in() ? boot::LoaderSource::stand_in
                                                          : boot::LoaderSource::file;
  return image;
}

QString from_utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TForm1::TForm1(WindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowSystemMenuHint),
      port_(setup.port ? std::move(setup.port) : std::make_unique<serial::SerialPort>()),
      clock_(setup.clock ? std::move(setup.clock) : std::make_unique<boot::SystemClock>()),
      loader_image_(setup.loader_image ? setup.loader_image : embedded_loader()),
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

  build_controls();
  connect_handlers();
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
  flsmode->setToolTip(QStringLiteral("Upload the loader and ask it whether the flash answers"));
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
  request.loader = loader_image_;
  return request;
}

void TForm1::spSkinButton1Click() {
  if (boot_check_running_ || scan_running_) return;
  // The window offers "Detect DM >>" only once a mode is chosen.
  if (!flsmode->isChecked() && !testmode->isChecked()) return;
  boot_check_running_ = true;
  show_notice({}, app::NoticeKind::info);
  run_guarded(
      [this] { last_report_ = boot::run_boot_check(*panel_, *port_, *clock_, check_request()); });
  boot_check_running_ = false;
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
  Memo1->setPlaceholderText(hint);
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
  for (const frontend::PortEntry& entry :
       frontend::scan_port_list(*port_, extra_port_names_, platform_port_candidates_())) {
    spSkinComboBox1->addItem(QString::fromStdString(entry.name));
    if (!entry.description.empty()) {
      spSkinComboBox1->setItemData(spSkinComboBox1->count() - 1, from_utf8(entry.description),
                                   Qt::ToolTipRole);
    }
  }
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
