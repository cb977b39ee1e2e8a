// The pellora program itself, run as a user would: its options and the demo. Its settings
// (the remembered loader image) live in a folder of the test's own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "resources/loader_image.h"
#include "tests/support/loader_files.h"

namespace {

struct ProgramRun {
  int status = -1;
  QString out;
  QString err;
};

// Where the program finds its settings while a test runs it (the XDG folder on Linux).
const QTemporaryDir& config_folder() {
  static const QTemporaryDir folder;
  return folder;
}

ProgramRun run_pellora(const QStringList& arguments, int timeout_ms = 30'000) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_CONFIG_HOME", config_folder().path());
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(PELLORA_PROGRAM), arguments);
  if (!process.waitForFinished(timeout_ms)) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromLocal8Bit(process.readAllStandardOutput()),
          QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(Program, VersionNamesTheLoaderImageItCarries) {
  const ProgramRun run = run_pellora({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.startsWith("pellora ")) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QString::fromStdString(resources::loader_image_description())));
}

TEST(Program, VersionNamesALoaderFileOrTheRememberedOne) {
  QTemporaryDir folder;
  const QString own = folder.filePath("own.bin");
  test_support::write_bytes(own.toStdString(), test_support::valid_loader());

  const ProgramRun given = run_pellora({"--loader", own, "--version"});
  EXPECT_EQ(given.status, 0) << given.err.toStdString();
  EXPECT_TRUE(given.out.contains("loader image: " + own + " (43044 bytes"))
      << given.out.toStdString();

  const ProgramRun missing = run_pellora({"--version", "--loader", folder.filePath("none.bin")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(missing.err.contains("\"" + folder.filePath("none.bin") +
                                   "\" cannot be used as the loader image: "))
      << missing.err.toStdString();

  // What the system menu's choice leaves in the user's settings.
  ASSERT_TRUE(QDir(config_folder().path()).mkpath("Pellora"));
  QFile settings(config_folder().filePath("Pellora/pellora.conf"));
  ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
  settings.write(("[loader]\nfile=" + own + "\n").toUtf8());
  settings.close();
  const ProgramRun remembered = run_pellora({"--version"});
  settings.remove();
  EXPECT_TRUE(remembered.out.contains("loader image: " + own)) << remembered.out.toStdString();
}

TEST(Program, RefusesOptionsAndScenariosItDoesNotKnow) {
  const ProgramRun unknown = run_pellora({"--bogus"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.err.contains("--bogus")) << unknown.err.toStdString();

  const ProgramRun scenario = run_pellora({"--demo=no-such-scenario"});
  EXPECT_EQ(scenario.status, 2);
  EXPECT_TRUE(scenario.err.contains("no-such-scenario"));
  EXPECT_TRUE(scenario.err.contains("good"));  // the valid ones are listed
}

TEST(Program, TheScreenshotTourRunsTheDemoThroughAndSavesItsPictures) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const ProgramRun run = run_pellora({"--screenshot-tour", folder.path()}, 90'000);
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(QDir(folder.path()).entryList({"*.png"}, QDir::Files),
            QStringList({"1-start.png", "2-port-list.png", "3-upload.png", "4-success.png",
                         "5-rolled-up.png", "6-live-hint.png", "7-diagnosis.png"}));
}

}  // namespace
