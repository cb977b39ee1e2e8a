// The loader image from the window's system menu: a file chosen through the dialog (refused,
// or taken with its warnings), remembered between runs, read again when a check starts, and
// named wherever the user looks before pressing "Detect DM >>".

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/loader_setting.h"
#include "app/title_bar.h"
#include "fake_port.h"
#include "frontend/diagnosis.h"
#include "tests/support/loader_files.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;
using test_support::LoaderFileCase;
using testing::HasSubstr;

QString q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

std::string text(const QString& s) {
  return s.toStdString();
}

QAction* menu_action(TForm1& form, const char* name) {
  return form.title_bar()->system_menu()->findChild<QAction*>(QString::fromLatin1(name));
}

// Windows that remember into a settings file of the test's own.
class LoaderWindows {
 public:
  LoaderWindows()
      : settings(
            std::make_shared<QSettings>(q(folder.path() / "settings.ini"), QSettings::IniFormat)) {}

  std::unique_ptr<WindowUnderTest> open(std::unique_ptr<serial::Port> port = nullptr,
                                        std::vector<std::string> candidates = {},
                                        std::vector<std::string> extra_names = {}) {
    if (!port) port = std::make_unique<FakePort>();
    auto window = std::make_unique<WindowUnderTest>(std::move(port), std::move(candidates),
                                                    [&](WindowSetup& setup) {
                                                      setup.settings = settings;
                                                      setup.extra_port_names = extra_names;
                                                    });
    (*window)->show();
    return window;
  }

  static void choose(WindowUnderTest& window, const fs::path& path) {
    window.next_loader_file = q(path);
    menu_action(*window, "loaderFileAction")->trigger();
  }

  fs::path write(const std::string& name, const test_support::Bytes& bytes) const {
    const fs::path path = folder.path() / name;
    test_support::write_bytes(path, bytes);
    return path;
  }

  test_support::TemporaryFolder folder;
  std::shared_ptr<QSettings> settings;
};

class LoaderMenu : public testing::TestWithParam<LoaderFileCase> {
 protected:
  void SetUp() override {
    window_ = windows_.open();
    previous_ = windows_.write("previous.bin", test_support::valid_loader(43044, 2));
    LoaderWindows::choose(*window_, previous_);
    ASSERT_TRUE(window_->errors.empty());
  }
  TForm1& form() { return **window_; }

  LoaderWindows windows_;
  std::unique_ptr<WindowUnderTest> window_;
  fs::path previous_;
};

TEST_P(LoaderMenu, RefusesTheFileInAMessageBoxOrTakesItWithItsWarnings) {
  const LoaderFileCase& c = GetParam();
  const fs::path path = c.make(windows_.folder.path());
  LoaderWindows::choose(*window_, path);

  const fs::path in_use = c.taken() ? path : previous_;
  ASSERT_TRUE(form().loader_choice().file.has_value());
  EXPECT_EQ(form().loader_choice().file->path, in_use.string());
  EXPECT_EQ(app::remembered_loader_file(*windows_.settings), q(in_use));
  EXPECT_THAT(text(form().flsmode->toolTip()), HasSubstr(in_use.string()));
  EXPECT_THAT(text(form().Memo1->placeholderText()), HasSubstr(in_use.string()));
  EXPECT_TRUE(menu_action(form(), "loaderFileAction")->isChecked());

  if (!c.taken()) {
    ASSERT_EQ(window_->errors.size(), 1u);
    const std::string shown = text(window_->errors[0].text);
    EXPECT_THAT(shown, testing::StartsWith("\"" + path.string() +
                                           "\" cannot be used as the loader image: "));
    EXPECT_THAT(shown, HasSubstr(c.refusal));
    EXPECT_THAT(shown, testing::EndsWith("."));
    return;
  }
  EXPECT_TRUE(window_->errors.empty());
  EXPECT_EQ(form().loader_choice().file->bytes, test_support::read_bytes(path));
  const std::vector<std::string> warnings = c.warning_parts();
  const std::string notice = text(form().Memo1->notice());
  if (warnings.empty()) {
    EXPECT_EQ(form().Memo1->notice_kind(), app::NoticeKind::info);
    EXPECT_THAT(notice, HasSubstr(path.string()));
  } else {
    EXPECT_EQ(form().Memo1->notice_kind(), app::NoticeKind::hint);
    EXPECT_THAT(notice, HasSubstr("\"" + path.string() + "\" does not look like a DM500 loader"));
    for (const std::string& part : warnings) EXPECT_THAT(notice, HasSubstr(part));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, LoaderMenu, testing::ValuesIn(test_support::loader_file_cases()),
                         [](const auto& param_info) { return param_info.param.name; });

TEST(LoaderChoiceInWindow, IsRememberedBetweenRunsUntilTheBuiltInImageIsChosen) {
  LoaderWindows windows;
  const fs::path file = windows.write("dmboot.bin", test_support::valid_loader());
  {
    auto first = windows.open();
    EXPECT_FALSE((*first)->loader_choice().file.has_value());
    EXPECT_TRUE(menu_action(**first, "builtInLoaderAction")->isChecked());
    LoaderWindows::choose(*first, file);
  }
  {
    auto second = windows.open();
    ASSERT_TRUE((*second)->loader_choice().file.has_value());
    EXPECT_EQ((*second)->loader_choice().file->path, file.string());
    EXPECT_TRUE(menu_action(**second, "loaderFileAction")->isChecked());
    // A cancelled dialog changes nothing.
    LoaderWindows::choose(*second, {});
    EXPECT_EQ(second->loader_dialogs, 1);
    EXPECT_EQ((*second)->loader_choice().file->path, file.string());
    EXPECT_TRUE(menu_action(**second, "loaderFileAction")->isChecked());

    menu_action(**second, "builtInLoaderAction")->trigger();
    EXPECT_FALSE((*second)->loader_choice().file.has_value());
    EXPECT_THAT(text((*second)->flsmode->toolTip()), HasSubstr("Loader image: stand-in"));
  }
  auto third = windows.open();
  EXPECT_FALSE((*third)->loader_choice().file.has_value());
  EXPECT_EQ(app::remembered_loader_file(*windows.settings), QString());
}

TEST(LoaderChoiceInWindow, ARememberedFileThatIsGoneLeavesTheBuiltInImageAndSaysSo) {
  LoaderWindows windows;
  const fs::path file = windows.write("dmboot.bin", test_support::valid_loader());
  LoaderWindows::choose(*windows.open(), file);
  fs::remove(file);

  auto window = windows.open();
  EXPECT_FALSE((*window)->loader_choice().file.has_value());
  EXPECT_EQ((*window)->Memo1->notice_kind(), app::NoticeKind::trouble);
  EXPECT_THAT(text((*window)->Memo1->notice()), HasSubstr("\"" + file.string() + "\""));
  EXPECT_TRUE(window->errors.empty()) << "no box in the user's face at start";
  // Still remembered: a stick that is not plugged in yet may bring it back.
  EXPECT_EQ(app::remembered_loader_file(*windows.settings), q(file));
}

TEST(LoaderChoiceInWindow, TheHintAndAboutNameTheImageInUse) {
  LoaderWindows windows;
  auto window = windows.open();
  TForm1& form = **window;
  form.set_log_hint("Pick the port.");
  const std::string built_in = form.loader_choice().description();
  EXPECT_THAT(text(form.Memo1->placeholderText()), HasSubstr("Pick the port."));
  EXPECT_THAT(text(form.Memo1->placeholderText()), HasSubstr(built_in.substr(1)));

  LoaderWindows::choose(*window, windows.write("own.bin", test_support::valid_loader()));
  EXPECT_THAT(text(form.Memo1->placeholderText()), HasSubstr("Pick the port."));
  EXPECT_THAT(text(form.Memo1->placeholderText()),
              HasSubstr(form.loader_choice().description().substr(1)));

  menu_action(form, "aboutAction")->trigger();
  ASSERT_EQ(window->abouts.size(), 1u);
  EXPECT_EQ(window->abouts[0].title, "About Pellora");
  EXPECT_THAT(text(window->abouts[0].text), testing::StartsWith("pellora "));
  EXPECT_THAT(text(window->abouts[0].text), HasSubstr(form.loader_choice().description()));
}

// What the notice strip says as a Flash Mode check starts, and that the choice cannot
// change under a running check.
struct StartCase {
  std::string name;
  std::string file;  // "": the built-in image; else "good" or "bad_crc"
  bool simulated_port;
  std::string notice_part;  // "": no notice
};

void PrintTo(const StartCase& c, std::ostream* os) {
  *os << c.name;
}

class CheckStart : public testing::TestWithParam<StartCase> {};

TEST_P(CheckStart, SaysWhatTheImageIsAndHoldsTheChoice) {
  const StartCase& c = GetParam();
  LoaderWindows windows;
  const std::string port = "/dev/fake0";
  auto window =
      windows.open(std::make_unique<FakePort>(std::set<std::string>{port}),
                   c.simulated_port ? std::vector<std::string>{} : std::vector<std::string>{port},
                   c.simulated_port ? std::vector<std::string>{port} : std::vector<std::string>{});
  TForm1& form = **window;
  if (!c.file.empty()) {
    test_support::Bytes image = test_support::valid_loader();
    if (c.file == "bad_crc") image.back() ^= 0x01;
    LoaderWindows::choose(*window, windows.write(c.file + ".bin", image));
  }
  form.spSkinButton2->click();
  form.spSkinComboBox1->hidePopup();
  form.spSkinComboBox1->setCurrentIndex(0);
  QTest::mouseClick(form.flsmode, Qt::LeftButton);

  // The fake box never greets: look while the check waits, then press Esc.
  QString notice;
  bool menu_live = true;
  QTimer::singleShot(100, form.Memo1, [&] {
    notice = form.Memo1->notice();
    menu_live = menu_action(form, "loaderFileAction")->isEnabled() ||
                menu_action(form, "builtInLoaderAction")->isEnabled();
    QTest::keyClick(form.Memo1, Qt::Key_Escape);
  });
  QTest::mouseClick(form.spSkinButton1, Qt::LeftButton);

  ASSERT_EQ(form.last_outcome(), boot::Outcome::aborted);
  if (c.notice_part.empty()) {
    EXPECT_EQ(notice, QString());
  } else {
    EXPECT_THAT(text(notice), HasSubstr(c.notice_part));
  }
  EXPECT_FALSE(menu_live);
  EXPECT_TRUE(menu_action(form, "loaderFileAction")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Window, CheckStart,
    testing::Values(StartCase{"built_in_real_port", "", false, frontend::stand_in_notice()},
                    // The simulated box answers the stand-in: nothing to warn of.
                    StartCase{"built_in_simulated_box", "", true, ""},
                    StartCase{"good_file", "good", false, ""},
                    StartCase{"file_with_a_warning", "bad_crc", false, "not the CRC-32 trailer"}),
    [](const auto& param_info) { return param_info.param.name; });

TEST(CheckStart, AFileGoneSinceItWasChosenStartsNoCheck) {
  LoaderWindows windows;
  auto port = std::make_unique<FakePort>(std::set<std::string>{"/dev/fake0"});
  FakePort* fake = port.get();
  auto window = windows.open(std::move(port), {"/dev/fake0"});
  TForm1& form = **window;
  const fs::path file = windows.write("dmboot.bin", test_support::valid_loader());
  LoaderWindows::choose(*window, file);
  form.spSkinButton2->click();
  form.spSkinComboBox1->hidePopup();
  form.spSkinComboBox1->setCurrentIndex(0);
  QTest::mouseClick(form.flsmode, Qt::LeftButton);
  fake->opened.clear();
  fs::remove(file);

  QTest::mouseClick(form.spSkinButton1, Qt::LeftButton);

  ASSERT_EQ(window->errors.size(), 1u);
  EXPECT_EQ(
      text(window->errors[0].text),
      "\"" + file.string() + "\" cannot be used as the loader image: No such file or directory.");
  EXPECT_FALSE(form.last_report().has_value());
  EXPECT_TRUE(fake->opened.empty()) << "the port is not touched";
  EXPECT_TRUE(form.log_bytes().isEmpty());
  EXPECT_TRUE(form.spSkinButton1->isEnabled());
  // The choice stays, for the file to come back.
  ASSERT_TRUE(form.loader_choice().file.has_value());
  EXPECT_EQ(form.loader_choice().file->path, file.string());
}

}  // namespace
