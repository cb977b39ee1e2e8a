// The error box's two text rules and the program's options: pure functions, no window.

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/error_box.h"

namespace {

struct TextCase {
  const char* message;
  const char* shown;
};

TEST(ErrorBoxText, AppendsAFullStopUnlessTheMessageEndsInOneOrACharacterBeforeIt) {
  const TextCase cases[] = {
      {"Cannot create file \"/tmp/Log.log\". Permission denied",
       "Cannot create file \"/tmp/Log.log\". Permission denied."},
      {"Already ends.", "Already ends."},
      {"ReadFile function failed (win error code: 5)",
       "ReadFile function failed (win error code: 5)"},  // ')' sorts before '.'
      {"Stop!", "Stop!"},
      {"range a-", "range a-"},  // '-' is the character just before '.'
      {"ends in a space ", "ends in a space "},
      {"a folder/", "a folder/."},  // '/' is the character just after '.'
      {"Why?", "Why?."},
      {"Gerät", "Gerät."},
      {"", ""},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(app::error_box_text(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown))
        << c.message;
  }
}

TEST(ErrorBoxTitle, IsTheProgramNameWithoutFolderOrExtensionTheRestInLowerCase) {
  const TextCase cases[] = {
      {"/usr/bin/pellora", "pellora"},  // the first character keeps its case
      {"C:\\Program Files\\Pellora\\Pellora.exe", "Pellora"},
      {"C:\\Program Files\\Pellora\\PELLORA.EXE", "Pellora"},
      {"/opt/tools/my.tool.v2", "my"},  // everything from the first "." on goes
      {"/home/me/dots.in.folder/Prog", "Prog"},
      {"/build/tests/App_GUI_Tests", "App_gui_tests"},
      {"/tmp/.hidden", ""},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(app::error_box_title(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown))
        << c.message;
  }
}

TEST(CommandLine, ReadsTheDemoTheTourAndTheQuestions) {
  const app::CommandLine none = app::parse_command_line({"pellora"});
  EXPECT_TRUE(none.error.isEmpty());
  EXPECT_FALSE(none.demo_scenario);
  EXPECT_FALSE(none.show_version);

  EXPECT_EQ(app::parse_command_line({"pellora", "--demo"}).demo_scenario, "good");
  EXPECT_EQ(app::parse_command_line({"pellora", "--demo=silent"}).demo_scenario, "silent");
  EXPECT_TRUE(app::parse_command_line({"pellora", "--version"}).show_version);
  EXPECT_TRUE(app::parse_command_line({"pellora", "--help"}).show_help);

  const app::CommandLine tour = app::parse_command_line({"pellora", "--screenshot-tour", "/tmp/s"});
  EXPECT_EQ(tour.screenshot_dir, "/tmp/s");
  EXPECT_EQ(tour.demo_scenario, "good");  // the tour clicks through the demo
}

TEST(CommandLine, RejectsWhatItDoesNotKnowButLeavesQtItsOwnOptions) {
  EXPECT_FALSE(app::parse_command_line({"pellora", "--bogus"}).error.isEmpty());
  EXPECT_FALSE(app::parse_command_line({"pellora", "--screenshot-tour"}).error.isEmpty());
  EXPECT_FALSE(app::parse_command_line({"pellora", "-platform", "offscreen"}).error.isEmpty());

  const app::CommandLine early =
      app::parse_command_line({"pellora", "-platform", "offscreen", "--version"}, true);
  EXPECT_TRUE(early.error.isEmpty());
  EXPECT_TRUE(early.show_version);
  EXPECT_FALSE(app::parse_command_line({"pellora", "--bogus"}, true).error.isEmpty());
}

}  // namespace
