#pragma once
// The main window, TForm1, and its one instance Form1.

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/error_box.h"
#include "app/log_pane.h"
#include "boot/boot_check.h"
#include "boot/clock.h"
#include "frontend/loader_choice.h"
#include "frontend/port_list.h"
#include "serial/port.h"
#include "serial/port_scan.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSettings;

namespace app {
class LinkLabel;
class StatusLamp;
class TitleBar;
class WindowPanel;
}  // namespace app

// What the window is built with. The program takes the defaults; the tests and the demo put
// their own parts in.
struct WindowSetup {
  std::unique_ptr<serial::Port> port;  // ComPort1; a serial::SerialPort when empty
  std::unique_ptr<boot::Clock> clock;  // boot::SystemClock when empty
  // Where the loader image chosen from the system menu is remembered between runs; without
  // it nothing is remembered (the program gives the user's settings, a test its own file).
  std::shared_ptr<QSettings> settings;
  // "Loader image…" asks for a file through this; an empty answer chooses nothing. A file
  // dialog over the window when empty.
  std::function<QString()> ask_loader_file;
  // "About Pellora" shows its title and text through this; a message box when empty.
  std::function<void(const QString& title, const QString& text)> about_box;
  // What the port list says of each port's adapter; serial::describe_port when empty.
  frontend::PortDescriber describe_port;
  // A scan tries the platform's port names, then the extra names (the demo box).
  std::function<std::vector<std::string>()> platform_port_candidates = serial::port_candidates;
  std::vector<std::string> extra_port_names;
  // Where the program lives; the help page is found from there. Empty: the program's folder.
  QString program_dir;
  // The desktop's "open" action; QDesktopServices::openUrl when empty.
  std::function<bool(const QUrl&)> open_url;
  // The default error box; a modal message box over the window when empty.
  app::ErrorBox error_box;
};

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(WindowSetup setup = {}, QWidget* parent = nullptr);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // The controls, under their names on the window. The first five are the control set.
  QPushButton* spSkinButton1;  // "Detect DM >>"
  QComboBox* spSkinComboBox1;  // the port list
  QPushButton* spSkinButton2;  // "Detect Port"
  QRadioButton* flsmode;       // "Flash Mode"
  QRadioButton* testmode;      // "Test Mode"
  QGroupBox* spSkinGroupBox1;  // "Main Interface:"
  app::LinkLabel* spSkinLinkLabel1;
  QPushButton* spSkinButton3;  // "Save Log"
  app::StatusLamp* ComLed2;    // green: the port is open
  app::StatusLamp* ComLed1;    // red: received bytes wait unread
  app::LogPane* Memo1;         // the log
  QProgressBar* PP;            // the upload gauge

  // The program's one serial port.
  serial::Port& ComPort1() { return *port_; }

  // The handlers.
  void FormCreate();
  void FormKeyDown(int key);
  void flsmodeClick();
  void testmodeClick();
  void spSkinButton1Click();
  void spSkinButton2Click();
  void spSkinButton3Click();
  void spSkinLinkLabel1Click();
  void FormClose();
  // The system menu's "Loader image…", "Use the built-in stand-in" and "About Pellora".
  void LoaderImageClick();
  void BuiltInLoaderClick();
  void AboutClick();

  // Reads and checks the file; one that can be used is sent from the next Flash Mode check
  // on (what looks wrong about it goes to the notice strip), and with remember it is chosen
  // again at the next start. A refusal goes to the error box and the choice stays. Nothing
  // changes while a check runs.
  bool choose_loader_file(const QString& path, bool remember);
  const frontend::LoaderChoice& loader_choice() const { return loader_choice_; }

  // The control set, in its order.
  std::vector<QWidget*> control_set() const;
  void disable_control_set();
  void enable_control_set();

  // The log: lines added by the dialogue plus whatever the user typed, as bytes.
  void clear_log();
  void add_log_line(std::string_view text);
  QByteArray log_bytes() const;
  // A hint shown in the empty log pane, above the loader image in use; it is not part of
  // the log.
  void set_log_hint(const QString& hint);
  // What the window has to say about the log, along the log pane's bottom edge; never part
  // of the log. An empty text takes it away.
  void show_notice(const QString& text, app::NoticeKind kind);

  // Clear the port list, scan, drop the list down ("Detect Port"). A call while a scan runs
  // does nothing.
  void rebuild_port_list();

  // The default error box, with its title and text rules.
  void show_error(const QString& message);

  bool abort_flag() const { return abort_flag_; }
  void set_abort_flag(bool set) { abort_flag_ = set; }
  bool close_requested() const { return close_requested_; }
  bool boot_check_running() const { return boot_check_running_; }
  // How the last boot check ended; empty before the first.
  const std::optional<boot::Report>& last_report() const { return last_report_; }
  std::optional<boot::Outcome> last_outcome() const {
    return last_report_ ? std::optional(last_report_->outcome) : std::nullopt;
  }

  // Rolled up to the title bar, or back.
  void toggle_roll_up();
  bool rolled_up() const { return rolled_up_; }
  app::TitleBar* title_bar() const { return title_bar_; }
  QWidget* client_area() const { return client_area_; }
  QUrl help_url() const { return help_url_; }

  // Lamps follow the port: ComLed2 while open, ComLed1 while bytes wait unread.
  void update_lamps();

 signals:
  // The gauge moved; emitted at once, even while the window processes no messages.
  void progress_shown(int percent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class app::WindowPanel;

  void build_controls();
  void connect_handlers();
  void add_loader_actions();
  void show_progress(int percent);
  // The request "Detect DM >>" makes of what the window shows.
  boot::CheckRequest check_request() const;
  // Before a Flash Mode check: the chosen file read again (false after saying why it cannot
  // be used), and the notice about the image that goes out.
  bool prepare_loader();
  void restore_loader_choice();
  void remember_loader_choice();
  // Where the window names the image in use: the Flash Mode tooltip, the empty log's hint,
  // the menu's check marks.
  void show_loader_in_use();
  // After a check: the diagnosis under the log, and an error box when the device failed.
  void explain(const boot::Report& report);
  // Runs a handler; an error escaping it goes to the default error box.
  void run_guarded(const std::function<void()>& handler);

  std::unique_ptr<serial::Port> port_;
  std::unique_ptr<boot::Clock> clock_;
  std::shared_ptr<QSettings> settings_;
  std::function<QString()> ask_loader_file_;
  std::function<void(const QString&, const QString&)> about_box_;
  frontend::PortDescriber describe_port_;
  frontend::LoaderChoice loader_choice_;
  std::function<std::vector<std::string>()> platform_port_candidates_;
  std::vector<std::string> extra_port_names_;
  std::function<bool(const QUrl&)> open_url_;
  app::ErrorBox error_box_;
  std::unique_ptr<app::WindowPanel> panel_;

  app::TitleBar* title_bar_;
  QWidget* client_area_;
  QButtonGroup* mode_group_;
  QAction* loader_file_action_;
  QAction* built_in_loader_action_;
  QString log_hint_;
  QTimer lamp_timer_;
  QUrl help_url_;

  bool abort_flag_ = false;
  QString temp_dir_;
  bool scan_running_ = false;
  bool boot_check_running_ = false;
  bool close_requested_ = false;
  bool rolled_up_ = false;
  std::optional<boot::Report> last_report_;
};

// The program's one window.
extern TForm1* Form1;
