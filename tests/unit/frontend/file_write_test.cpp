// Writing "Save Log", --log and --report files: a regular file is replaced whole or not at
// all; a symlink is written through; a device or FIFO is written where it is.

#include "frontend/file_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace frontend {
namespace {

namespace fs = std::filesystem;

class FileWrite : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("pellora-file-write-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void write(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  // Nothing but the file itself: no temporary left behind.
  std::size_t files_in_dir() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  fs::path dir_;
};

TEST_F(FileWrite, ANewFileGetsTheBytesAndTheUsualPermissions) {
  const fs::path path = dir_ / "Log.log";
  EXPECT_EQ(write_file(path, std::string_view("a\r\nb\0c\r\n", 8)), std::nullopt);
  EXPECT_EQ(read(path), std::string("a\r\nb\0c\r\n", 8));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(path).permissions()), 0666 & ~mask);
  EXPECT_EQ(files_in_dir(), 1u);
}

TEST_F(FileWrite, AnOldFileIsReplacedAndKeepsItsPermissions) {
  const fs::path path = dir_ / "Log.log";
  write(path, "old and longer than the new text");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(write_file(path, "new"), std::nullopt);
  EXPECT_EQ(read(path), "new");
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(files_in_dir(), 1u);
}

TEST_F(FileWrite, ASymlinkIsFollowedAndStaysALink) {
  const fs::path target = dir_ / "real.log";
  const fs::path link = dir_ / "Log.log";
  write(target, "old");
  fs::create_symlink("real.log", link);
  EXPECT_EQ(write_file(link, "new"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read(target), "new");
}

TEST_F(FileWrite, ADanglingSymlinkCreatesItsTarget) {
  const fs::path link = dir_ / "Log.log";
  fs::create_symlink(dir_ / "made.log", link);
  EXPECT_EQ(write_file(link, "new"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read(dir_ / "made.log"), "new");
}

// A write cut short (here by a file size limit, which holds for root too) leaves neither a
// shortened file nor a temporary one.
TEST_F(FileWrite, AFailedWriteLeavesTheOldFileAsItWas) {
  const fs::path path = dir_ / "Log.log";
  write(path, "old");
  rlimit old_limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old_limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto failure = write_file(path, std::string(100000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(failure, "File too large");
  EXPECT_EQ(read(path), "old");
  EXPECT_EQ(files_in_dir(), 1u);
}

TEST_F(FileWrite, AFolderIsNotAFile) {
  EXPECT_EQ(write_file(dir_, "text"), "Is a directory");
}

TEST_F(FileWrite, AMissingFolderIsReported) {
  EXPECT_EQ(write_file(dir_ / "gone" / "Log.log", "text"), "No such file or directory");
}

// A device node keeps being a device: its own errors are the write's.
TEST_F(FileWrite, ADeviceIsWrittenThroughWithItsErrors) {
  EXPECT_EQ(write_file("/dev/null", "text"), std::nullopt);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(write_file("/dev/full", "text"), "No space left on device");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  // Through a link as well.
  fs::create_symlink("/dev/full", dir_ / "Log.log");
  EXPECT_EQ(write_file(dir_ / "Log.log", "text"), "No space left on device");
  EXPECT_TRUE(fs::is_symlink(dir_ / "Log.log"));
}

TEST_F(FileWrite, AFifoIsWrittenToItsReaderAndNobodyReadingIsAnError) {
  const fs::path fifo = dir_ / "log.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(write_file(fifo, "text"), "Broken pipe");

  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(write_file(fifo, "text"), std::nullopt);
  char got[8] = {};
  EXPECT_EQ(::read(reader, got, sizeof got), 4);
  EXPECT_EQ(std::string(got, 4), "text");
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
}  // namespace frontend
