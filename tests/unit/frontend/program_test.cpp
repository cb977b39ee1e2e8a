// The error box's two text rules and the version text, as every front end shows them.

#include "frontend/program.h"

#include "frontend/loader_choice.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(frontend::error_box_text(c.message), c.shown) << c.message;
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
    EXPECT_EQ(frontend::error_box_title(c.message), c.shown) << c.message;
  }
}

TEST(AboutText, SaysWhatEitherWindowSaysInItsAboutBox) {
  EXPECT_EQ(
      frontend::about_text("loader image: stand-in", "file:///usr/share/pellora/help/index.html"),
      std::string("pellora ") + PELLORA_VERSION +
          "\nloader image: stand-in\n\nChecks over a serial line whether a Dreambox DM500 "
          "still boots.\nfile:///usr/share/pellora/help/index.html");
}

TEST(LoaderChoiceSentence, IsTheDescriptionStartingWithACapital) {
  const frontend::LoaderChoice built_in;
  const std::string sentence = built_in.description_sentence();
  ASSERT_FALSE(sentence.empty());
  EXPECT_EQ(sentence[0], 'L');
  EXPECT_EQ(sentence.substr(1), built_in.description().substr(1));
}

TEST(VersionText, NamesTheProgramTheVersionAndTheLoader) {
  EXPECT_EQ(frontend::version_text("pellora", "loader image: stand-in"),
            std::string("pellora ") + PELLORA_VERSION + "\nloader image: stand-in");
}

}  // namespace
