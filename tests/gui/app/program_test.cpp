// The pellora program itself, run as a user would: its options and the demo.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "resources/loader_image.h"

namespace {

struct ProgramRun {
  int status = -1;
  QString out;
  QString err;
};

ProgramRun run_pellora(const QStringList& arguments, int timeout_ms = 30'000) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
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
