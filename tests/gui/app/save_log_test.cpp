// "Save Log": the log's bytes into Log.log in the current folder; a failed save says why and
// leaves the previous file as it was.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <csignal>

#ifdef __unix__
#include <sys/resource.h>
#endif

#include "fake_port.h"
#include "window_fixture.h"

namespace {

QByteArray file_bytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

void write_file(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

class SaveLog : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    old_folder = QDir::currentPath();
    QDir::setCurrent(folder.path());
    window->add_log_line("Power ON DB Device [ESC to Abort]");
    window->add_log_line("HW ID: [E00D44]");
    window->add_log_line(std::string("bytes \xE0\xFF\x01 as they came"));
  }
  void TearDown() override { QDir::setCurrent(old_folder); }

  QString log_path() const { return folder.filePath("Log.log"); }

  const QByteArray expected =
      "Power ON DB Device [ESC to Abort]\r\nHW ID: [E00D44]\r\nbytes \xE0\xFF\x01 as they came\r\n";
  QTemporaryDir folder;
  QString old_folder;
  WindowUnderTest window{std::make_unique<FakePort>()};
};

TEST_F(SaveLog, WritesTheWholeLogByteForByteAndReplacesAnOldFile) {
  write_file(log_path(), QByteArray(4096, 'x'));  // longer than the log: nothing may be left
  window->spSkinButton3Click();
  EXPECT_EQ(file_bytes(log_path()), expected);
  window->spSkinButton3Click();
  EXPECT_EQ(file_bytes(log_path()), expected);
  EXPECT_TRUE(window.errors.empty());
  // Only Log.log is left behind, no temporary file.
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"Log.log"}));
}

#ifdef __unix__
TEST_F(SaveLog, AWriteThatFailsHalfWayLeavesThePreviousLogIntact) {
  const QByteArray previous = "the previous log\r\n";
  write_file(log_path(), previous);

  // Tests run as root, so permissions stop nothing; a file size limit does: the save can
  // write only part of the log before the system refuses.
  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  rlimit small = old_limit;
  small.rlim_cur = 40;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  window->spSkinButton3Click();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(file_bytes(log_path()), previous);
  ASSERT_EQ(window.errors.size(), 1u);
  const QString text = window.errors[0].text;
  EXPECT_TRUE(
      text.startsWith("Cannot create file \"" + QDir::toNativeSeparators(log_path()) + "\". "))
      << text.toStdString();
  EXPECT_GT(text.size(), QString("Cannot create file \"" + log_path() + "\". ").size());
  EXPECT_TRUE(text.endsWith('.'));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"Log.log"}));
}
#endif

TEST_F(SaveLog, ALogPathThatIsAFolderIsReportedWithTheFullPath) {
  ASSERT_TRUE(QDir(folder.path()).mkdir("Log.log"));
  window->spSkinButton3Click();
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_TRUE(window.errors[0].text.startsWith("Cannot create file \"" +
                                               QDir::toNativeSeparators(log_path()) + "\". "))
      << window.errors[0].text.toStdString();
  EXPECT_EQ(window.errors[0].title, "app_gui_tests");  // from this program's file name
}

#ifdef __unix__
TEST_F(SaveLog, ACurrentFolderThatWasDeletedIsReportedAndNothingIsWrittenElsewhere) {
  QTemporaryDir doomed;
  ASSERT_TRUE(doomed.isValid());
  QDir::setCurrent(doomed.path());
  ASSERT_TRUE(doomed.remove());
  const bool root_had_a_log = QFile::exists("/Log.log");

  window->spSkinButton3Click();
  const bool written_to_root = !root_had_a_log && QFile::exists("/Log.log");
  if (written_to_root) QFile::remove("/Log.log");

  EXPECT_FALSE(written_to_root);
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_TRUE(window.errors[0].text.startsWith("Cannot create file \""))
      << window.errors[0].text.toStdString();
}
#endif

}  // namespace
