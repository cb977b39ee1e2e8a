// Whole boot checks in the window against the simulated box, over a real pseudo-terminal.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/status_lamp.h"
#include "boot/log_text.h"
#include "frontend/diagnosis.h"
#include "resources/loader_image.h"
#include "serial/serial_port.h"
#include "sim/simulated_box.h"
#include "tests/support/loader_files.h"
#include "window_fixture.h"

namespace {

using namespace std::chrono_literals;

const serial::Bytes banner_a = {0xE0, 0x0D, 0x44, 0x72, 0x65, 0x61, 0x6D, 0x62, 0x6F,
                                0x78, 0x20, 0x44, 0x00, 0x4D, 0x35, 0x30, 0x30, 0x0D};

serial::Bytes bytes_of(std::string_view text) {
  return {text.begin(), text.end()};
}

sim::Options box_options(const std::string& scenario) {
  sim::Options options;
  options.scenario = scenario;
  options.pace = false;
  return options;
}

// A window wired to a simulated box, with the box's port picked and a mode chosen.
class BootCheckInWindow : public testing::Test {
 protected:
  void start(const std::string& scenario, QRadioButton* TForm1::*mode) {
    box = std::make_unique<sim::SimulatedBox>(box_options(scenario));
    window = std::make_unique<WindowUnderTest>(std::make_unique<serial::SerialPort>(),
                                               std::vector<std::string>{box->slave_path()});
    form().show();
    form().spSkinButton2->click();
    form().spSkinComboBox1->hidePopup();
    form().spSkinComboBox1->setCurrentIndex(
        form().spSkinComboBox1->findText(QString::fromStdString(box->slave_path())));
    QTest::mouseClick(form().*mode, Qt::LeftButton);
  }

  TForm1& form() { return **window; }
  std::vector<bool> control_set_enabled() {
    std::vector<bool> enabled;
    for (QWidget* control : form().control_set()) enabled.push_back(control->isEnabled());
    return enabled;
  }

  std::unique_ptr<sim::SimulatedBox> box;
  std::unique_ptr<WindowUnderTest> window;
};

TEST_F(BootCheckInWindow, AFlashModeRunEndsWithTheSuccessLinesTheFullGaugeAndASavedLog) {
  start("good", &TForm1::flsmode);
  std::vector<int> gauge;
  QObject::connect(&form(), &TForm1::progress_shown,
                   [&](int percent) { gauge.push_back(percent); });

  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  ASSERT_EQ(form().last_outcome(), boot::Outcome::success);
  const std::vector<std::string> lines = log_lines(form());
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "Power ON DB Device [ESC to Abort]");
  EXPECT_EQ(lines[1], "HW ID: [" + boot::hex_text(banner_a) + "]");
  EXPECT_EQ(lines[2], "Dreambox Detected...Ok!");
  EXPECT_EQ(lines[3], "Data1: [" + boot::hex_text(bytes_of("loading instr. file")) + "]");
  EXPECT_EQ(lines[4], "Sending Flash Loader...");
  EXPECT_EQ(lines[5], "Settings Baudrate Ok!!");
  EXPECT_EQ(lines[6].rfind("Data2: [", 0), 0u);
  EXPECT_NE(lines[6].find(boot::hex_text(bytes_of("client: ok"))), std::string::npos);
  const std::vector<std::string> success(lines.begin() + 7, lines.end());
  EXPECT_EQ(success, (std::vector<std::string>{"Boot Success!", "-Flash Chip Status Good !",
                                               "-Boot Success & Alive !", "-No Need For JTAG !"}));

  // The box took the very image the window carries.
  const auto image = resources::find_rcdata("dmboot");
  ASSERT_TRUE(image);
  EXPECT_EQ(box->record().image, serial::Bytes(image->begin(), image->end()));

  ASSERT_FALSE(gauge.empty());
  EXPECT_EQ(gauge.front(), 0);  // reset when the port opened
  EXPECT_TRUE(std::is_sorted(gauge.begin(), gauge.end()));
  EXPECT_EQ(form().PP->value(), 100);
  EXPECT_EQ(form().PP->text(), "100%");
  EXPECT_FALSE(form().spSkinButton3->isHidden());
  EXPECT_EQ(control_set_enabled(), std::vector<bool>(5, true));
  EXPECT_TRUE(form().ComPort1().is_open());
  EXPECT_TRUE(form().ComLed2->is_lit());
  EXPECT_TRUE(window->errors.empty());

  QTemporaryDir folder;
  const QString old_folder = QDir::currentPath();
  QDir::setCurrent(folder.path());
  QTest::mouseClick(form().spSkinButton3, Qt::LeftButton);
  QDir::setCurrent(old_folder);
  QFile saved(folder.filePath("Log.log"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  EXPECT_EQ(saved.readAll().toStdString(), expected);

  // The diagnosis, and after Save Log where the file went, show beside the log, never in it.
  EXPECT_TRUE(form().Memo1->notice().contains("Log saved to"))
      << form().Memo1->notice().toStdString();
  EXPECT_TRUE(form().Memo1->notice().contains("Log.log"));
  EXPECT_EQ(log_lines(form()), lines);
}

TEST_F(BootCheckInWindow, EveryEndingIsExplainedBesideTheLogAndSaveLogWritesOnlyTheLog) {
  const struct {
    std::string scenario;
    app::NoticeKind kind;
    const char* says;
  } cases[] = {
      {"good", app::NoticeKind::good, "The box boots"},
      {"reply-crlf", app::NoticeKind::trouble, "did not answer \"dream\" with \"ok\""},
      {"no-status", app::NoticeKind::trouble, "accepted the upload"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    start(c.scenario, &TForm1::flsmode);
    QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);
    const QString notice = form().Memo1->notice();
    EXPECT_TRUE(notice.contains(QString::fromUtf8(c.says))) << notice.toStdString();
    EXPECT_EQ(form().Memo1->notice_kind(), c.kind);
    EXPECT_EQ(QString::fromStdString(frontend::diagnosis(*form().last_report())), notice);
    EXPECT_FALSE(form().Memo1->toPlainText().contains(notice));
    EXPECT_FALSE(QString::fromLatin1(form().log_bytes()).contains(notice));
  }
}

// A silent line gets a word while the check waits; the next check starts without it.
TEST_F(BootCheckInWindow, ALiveHintShowsWhileWaitingAndGoesWhenTheNextCheckStarts) {
  start("silent", &TForm1::flsmode);
  QString hint_while_waiting;
  QTimer::singleShot(6000, form().Memo1, [&] {
    hint_while_waiting = form().Memo1->notice();
    QTest::keyClick(form().Memo1, Qt::Key_Escape);
  });
  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);
  EXPECT_TRUE(hint_while_waiting.contains("Nothing has arrived yet"))
      << hint_while_waiting.toStdString();
  EXPECT_TRUE(form().Memo1->notice().contains("Nothing at all arrived"));

  QString notice_at_start = QStringLiteral("unset");
  QTimer::singleShot(300, form().Memo1, [&] {
    notice_at_start = form().Memo1->notice();
    QTest::keyClick(form().Memo1, Qt::Key_Escape);
  });
  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);
  // The last check's words are gone; a Flash Mode check with the stand-in starts with its
  // note (the box here sits on a port the window takes for a real one).
  EXPECT_EQ(notice_at_start, QString::fromStdString(frontend::stand_in_notice()));
}

TEST_F(BootCheckInWindow, AChosenFileIsReadAgainAsTheCheckStartsAndIsWhatTheBoxReceives) {
  start("good", &TForm1::flsmode);
  test_support::TemporaryFolder folder;
  const auto path = folder.path() / "dmboot.bin";
  test_support::write_bytes(path, test_support::valid_loader(43044, 5));
  ASSERT_TRUE(form().choose_loader_file(QString::fromStdString(path.string()), false));
  // Replaced after it was chosen: the new bytes go out.
  const test_support::Bytes replaced = test_support::valid_loader(43044, 7);
  test_support::write_bytes(path, replaced);

  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  ASSERT_EQ(form().last_outcome(), boot::Outcome::success) << form().Memo1->notice().toStdString();
  EXPECT_EQ(box->record().image, replaced);
  ASSERT_TRUE(form().last_report()->loader.has_value());
  EXPECT_EQ(form().last_report()->loader->source, boot::LoaderSource::file);
  EXPECT_EQ(form().last_report()->loader->size, replaced.size());
  EXPECT_TRUE(window->errors.empty());
}

TEST_F(BootCheckInWindow, ATestModeRunShowsWhatTheBoxPrintsAndLeavesThePortOpen) {
  start("good", &TForm1::testmode);
  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  ASSERT_EQ(form().last_outcome(), boot::Outcome::success);
  const QString pane = form().Memo1->toPlainText();
  EXPECT_TRUE(pane.startsWith("Power ON DB Device [ESC to Abort]\n")) << pane.toStdString();
  EXPECT_GT(pane.size(), QString("Power ON DB Device [ESC to Abort]\n").size());
  EXPECT_FALSE(pane.contains("HW ID"));
  EXPECT_TRUE(form().spSkinButton3->isHidden());
  EXPECT_EQ(control_set_enabled(), std::vector<bool>(5, true));
  EXPECT_TRUE(form().ComPort1().is_open());
  // No "dream" went out: the box went on to boot its firmware.
  EXPECT_TRUE(box->wait_for(sim::Stage::firmware_booted, 5s));
  EXPECT_FALSE(box->record().reached(sim::Stage::greeting_answered));
}

TEST_F(BootCheckInWindow, WithNothingPickedTheOpenFailsAndTheListIsRebuiltAndDroppedDown) {
  start("good", &TForm1::flsmode);
  form().spSkinComboBox1->clear();
  form().PP->setValue(40);

  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  EXPECT_EQ(form().last_outcome(), boot::Outcome::open_failed);
  EXPECT_EQ(log_lines(form()), std::vector<std::string>{"Failed Open Com Port!"});
  EXPECT_EQ(form().spSkinComboBox1->findText(QString::fromStdString(box->slave_path())), 0);
  EXPECT_TRUE(form().spSkinComboBox1->view()->isVisible());
  EXPECT_EQ(form().PP->value(), 0);
  EXPECT_EQ(control_set_enabled(), std::vector<bool>(5, true));
  EXPECT_TRUE(window->errors.empty());
}

TEST_F(BootCheckInWindow, AnEscPressedWhileIdleDoesNotAbortTheNextCheck) {
  start("good", &TForm1::testmode);
  QTest::keyClick(form().Memo1, Qt::Key_Escape);
  ASSERT_TRUE(form().abort_flag());

  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  EXPECT_EQ(form().last_outcome(), boot::Outcome::success);
  EXPECT_FALSE(form().Memo1->toPlainText().contains("User Abort!"));
}

TEST_F(BootCheckInWindow, EscDuringTheBannerWaitAbortsAndReleasesThePort) {
  start("silent", &TForm1::flsmode);
  QTimer::singleShot(300, form().Memo1, [&] { QTest::keyClick(form().Memo1, Qt::Key_Escape); });

  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  EXPECT_EQ(form().last_outcome(), boot::Outcome::aborted);
  const std::vector<std::string> lines = log_lines(form());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Power ON DB Device [ESC to Abort]");
  EXPECT_EQ(lines[1].rfind("HW ID: [", 0), 0u);
  EXPECT_EQ(lines[2], "User Abort!");
  EXPECT_FALSE(form().ComPort1().is_open());
  EXPECT_EQ(control_set_enabled(), std::vector<bool>(5, true));
}

TEST_F(BootCheckInWindow, ADeviceLostMidCheckIsReportedInAnErrorBoxAndThePortReleased) {
  start("unplug-during-upload", &TForm1::flsmode);
  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  EXPECT_EQ(form().last_outcome(), boot::Outcome::device_error);
  ASSERT_EQ(window->errors.size(), 1u);
  EXPECT_TRUE(window->errors[0].text.contains("function failed"))
      << window->errors[0].text.toStdString();
  EXPECT_EQ(window->errors[0].title, "app_gui_tests");
  EXPECT_FALSE(window->errors[0].port_open) << "the box must wait on nothing: port released first";
  EXPECT_FALSE(form().ComPort1().is_open());
  EXPECT_EQ(control_set_enabled(), std::vector<bool>(5, true));
}

struct CloseCase {
  const char* name;
  const char* when;
  const char* scenario;
};

void PrintTo(const CloseCase& row, std::ostream* out) {
  *out << row.name;
}

class ClosingDuringACheck : public BootCheckInWindow,
                            public testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingDuringACheck, EndsTheCheckReleasesThePortCleansUpAndClosesTheWindow) {
  QTemporaryDir temp;
  const QByteArray old_tmpdir = qgetenv("TMPDIR");
  qputenv("TMPDIR", temp.path().toLocal8Bit());
  QFile(temp.filePath("dmb")).open(QIODevice::WriteOnly);
  start(GetParam().scenario, &TForm1::flsmode);

  bool stayed_up_during_check = false;
  const auto close_now = [&] {
    form().close();
    stayed_up_during_check = form().isVisible() && form().boot_check_running();
  };
  if (std::string(GetParam().when) == "banner wait") {
    QTimer::singleShot(300, form().Memo1, close_now);
  } else {
    QObject::connect(&form(), &TForm1::progress_shown, form().Memo1, [&](int percent) {
      if (percent >= 50 && !form().close_requested()) close_now();
    });
  }

  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  EXPECT_TRUE(stayed_up_during_check);  // the first close only asks the check to end
  EXPECT_EQ(form().last_outcome(), boot::Outcome::aborted);
  EXPECT_EQ(log_lines(form()).back(), "User Abort!");
  EXPECT_FALSE(form().ComPort1().is_open());
  EXPECT_FALSE(form().isVisible());
  EXPECT_FALSE(QFile::exists(temp.filePath("dmb")));
  if (old_tmpdir.isEmpty()) {
    qunsetenv("TMPDIR");
  } else {
    qputenv("TMPDIR", old_tmpdir);
  }
}

INSTANTIATE_TEST_SUITE_P(Window, ClosingDuringACheck,
                         testing::Values(CloseCase{"DuringTheBannerWait", "banner wait", "silent"},
                                         CloseCase{"DuringTheUpload", "upload", "good"}),
                         [](const testing::TestParamInfo<CloseCase>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
