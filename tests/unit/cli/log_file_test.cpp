#include "cli/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace cli {
namespace {

namespace fs = std::filesystem;

class LogFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("pellora-log-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

TEST_F(LogFile, IsWrittenByteForByteAndReplacesAnOldOne) {
  const fs::path path = dir_ / "Log.log";
  const std::string first = "Power ON DB Device [ESC to Abort]\r\nUser Abort!\r\n";
  // Console text may hold its own line ends, bytes above 127 and no final line end.
  const std::string second = "one\r\ntwo\nthree\r\xE9\x01";

  ASSERT_EQ(write_log_file(path.string(), first), std::nullopt);
  EXPECT_EQ(contents(path), first);
  ASSERT_EQ(write_log_file(path.string(), second), std::nullopt);
  EXPECT_EQ(contents(path), second);
  EXPECT_FALSE(fs::exists(dir_ / "Log.log.tmp"));
}

TEST_F(LogFile, AFailedWriteKeepsTheOldLogAndSaysWhy) {
  const fs::path path = dir_ / "Log.log";
  ASSERT_EQ(write_log_file(path.string(), "old\r\n"), std::nullopt);
  // The temporary file cannot be created where a directory of its name stands.
  fs::create_directory(dir_ / "Log.log.tmp");

  const auto failure = write_log_file(path.string(), "new\r\n");
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find('"' + path.string() + '"'), std::string::npos) << *failure;
  EXPECT_NE(failure->find("Is a directory"), std::string::npos) << *failure;
  EXPECT_EQ(contents(path), "old\r\n");
}

TEST_F(LogFile, ADirectoryInTheWayIsReportedAndNoTemporaryFileIsLeft) {
  const fs::path path = dir_ / "logs";
  fs::create_directory(path);
  const auto failure = write_log_file(path.string(), "line\r\n");
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find(path.string()), std::string::npos) << *failure;
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_FALSE(fs::exists(dir_ / "logs.tmp"));
}

TEST_F(LogFile, AMissingFolderIsReported) {
  const auto failure = write_log_file((dir_ / "no-such-dir" / "Log.log").string(), "x\r\n");
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find("No such file or directory"), std::string::npos) << *failure;
}

}  // namespace
}  // namespace cli
