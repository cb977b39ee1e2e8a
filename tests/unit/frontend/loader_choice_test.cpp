// Choosing the loader image: a file read whole and checked (refused, or taken with what does
// not hold), read again as a check starts, and the built-in image checked like a file.

#include "frontend/loader_choice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/loader_files.h"

namespace frontend {
namespace {

namespace fs = std::filesystem;
using test_support::LoaderFileCase;
using testing::HasSubstr;

class LoaderFileChoice : public testing::TestWithParam<LoaderFileCase> {
 protected:
  test_support::TemporaryFolder folder_;
};

TEST_P(LoaderFileChoice, IsRefusedWithItsReasonOrTakenWhole) {
  const LoaderFileCase& c = GetParam();
  const fs::path path = c.make(folder_.path());
  const auto loaded = load_loader_file(path.string());

  if (!c.taken()) {
    ASSERT_TRUE(std::holds_alternative<LoaderRefusal>(loaded));
    const auto& refusal = std::get<LoaderRefusal>(loaded);
    EXPECT_EQ(refusal.path, path.string());
    EXPECT_THAT(refusal.reason, HasSubstr(c.refusal));
    EXPECT_EQ(refusal_text(refusal),
              "\"" + path.string() + "\" cannot be used as the loader image: " + refusal.reason);
    return;
  }
  ASSERT_TRUE(std::holds_alternative<LoaderFile>(loaded)) << std::get<LoaderRefusal>(loaded).reason;
  const auto& file = std::get<LoaderFile>(loaded);
  EXPECT_EQ(file.bytes, test_support::read_bytes(path));
  EXPECT_EQ(file.size_ok, c.size_ok);
  EXPECT_EQ(file.header_ok, c.header_ok);
  EXPECT_EQ(file.crc_ok, c.crc_ok);

  const std::vector<std::string> parts = c.warning_parts();
  const std::vector<std::string> warnings = loader_warnings(file);
  ASSERT_EQ(warnings.size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_THAT(warnings[i], HasSubstr(parts[i]));
  const std::string text = loader_warning_text(file);
  if (parts.empty()) {
    EXPECT_EQ(text, "");
  } else {
    EXPECT_THAT(text, HasSubstr("\"" + path.string() + "\" does not look like a DM500 loader"));
    EXPECT_THAT(text, HasSubstr("sent as it is"));
  }

  // What goes out, and what the report will say of it.
  LoaderChoice choice{file};
  const boot::LoaderImage image = choice.image();
  EXPECT_TRUE(std::ranges::equal(image.bytes, file.bytes));
  EXPECT_EQ(image.source, boot::LoaderSource::file);
  EXPECT_EQ(image.header_ok, c.header_ok);
  EXPECT_EQ(image.crc_ok, c.crc_ok);
  EXPECT_FALSE(choice.sends_stand_in());
  EXPECT_THAT(choice.description(), testing::StartsWith("loader image: " + path.string() + " ("));
}

INSTANTIATE_TEST_SUITE_P(Files, LoaderFileChoice,
                         testing::ValuesIn(test_support::loader_file_cases()),
                         [](const auto& param_info) { return param_info.param.name; });

TEST(LoaderFileChoice, AFileThatCannotBeReadIsRefusedWithTheSystemsReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  test_support::TemporaryFolder folder;
  const fs::path path = folder.path() / "locked.bin";
  test_support::write_bytes(path, test_support::valid_loader());
  fs::permissions(path, fs::perms::none);
  const auto loaded = load_loader_file(path.string());
  ASSERT_TRUE(std::holds_alternative<LoaderRefusal>(loaded));
  EXPECT_EQ(std::get<LoaderRefusal>(loaded).reason, "Permission denied");
}

TEST(LoaderFileChoice, DescribesTheFileWithWhatItsChecksFound) {
  test_support::TemporaryFolder folder;
  const fs::path good = folder.path() / "good.bin";
  const fs::path odd = folder.path() / "odd.bin";
  test_support::write_bytes(good, test_support::valid_loader());
  test_support::write_bytes(odd, {1, 2, 3, 4, 5});
  const LoaderChoice good_choice{std::get<LoaderFile>(load_loader_file(good.string()))};
  const LoaderChoice odd_choice{std::get<LoaderFile>(load_loader_file(odd.string()))};
  EXPECT_EQ(good_choice.description(),
            "loader image: " + good.string() +
                " (43044 bytes, header 00 52 50 4F ok, CRC-32 trailer ok)");
  EXPECT_EQ(odd_choice.description(),
            "loader image: " + odd.string() +
                " (5 bytes, not 43,044, no 00 52 50 4F header, CRC-32 trailer wrong)");
}

// The file as a check starts, after it was chosen.
class ReloadedLoader : public testing::Test {
 protected:
  void SetUp() override {
    test_support::write_bytes(path_, first_);
    choice_.file = std::get<LoaderFile>(load_loader_file(path_.string()));
  }
  test_support::TemporaryFolder folder_;
  const fs::path path_ = folder_.path() / "dmboot.bin";
  const test_support::Bytes first_ = test_support::valid_loader(43044, 1);
  LoaderChoice choice_;
};

TEST_F(ReloadedLoader, AReplacedFileIsNoticed) {
  test_support::Bytes replaced = test_support::valid_loader(43044, 3);
  replaced.back() ^= 0xFF;
  test_support::write_bytes(path_, replaced);
  EXPECT_EQ(reload_loader_file(choice_), std::nullopt);
  EXPECT_EQ(choice_.file->bytes, replaced);
  EXPECT_FALSE(choice_.image().crc_ok);
}

TEST_F(ReloadedLoader, AFileGoneSinceItWasChosenIsRefusedAndTheChoiceKeepsItsBytes) {
  fs::remove(path_);
  const auto refusal = reload_loader_file(choice_);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(refusal->path, path_.string());
  EXPECT_EQ(refusal->reason, "No such file or directory");
  ASSERT_TRUE(choice_.file.has_value());
  EXPECT_EQ(choice_.file->bytes, first_);
}

TEST(BuiltInLoader, IsTheEmbeddedImageCheckedLikeAFile) {
  LoaderChoice choice;  // nothing chosen
  EXPECT_EQ(reload_loader_file(choice), std::nullopt);
  const boot::LoaderImage image = choice.image();
  const boot::LoaderImage built_in = built_in_loader();
  EXPECT_EQ(image.bytes.data(), built_in.bytes.data());
  EXPECT_EQ(image.bytes.size(), built_in.bytes.size());
#ifndef PELLORA_SUPPLIED_LOADER_IMAGE
  EXPECT_EQ(image.bytes.size(), 43044u);
  // The generated stand-in is well made, so the report blames nothing on it.
  EXPECT_EQ(image.source, boot::LoaderSource::stand_in);
  EXPECT_TRUE(image.header_ok);
  EXPECT_TRUE(image.crc_ok);
  EXPECT_TRUE(choice.sends_stand_in());
  EXPECT_THAT(choice.description(), testing::StartsWith("loader image: stand-in"));
#endif
}

}  // namespace
}  // namespace frontend
