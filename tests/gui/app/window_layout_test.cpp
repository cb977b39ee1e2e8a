// The window as it opens: its controls under their names, at their places, in their states.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResource>
#include <QTemporaryDir>
#include <QTest>

#include "app/ScreenLog.h"
#include "app/help_page.h"
#include "app/link_label.h"
#include "app/skin.h"
#include "app/status_lamp.h"
#include "app/title_bar.h"
#include "fake_port.h"
#include "window_fixture.h"

namespace {

class WindowAtStart : public testing::Test {
 protected:
  WindowUnderTest window{std::make_unique<FakePort>()};
};

struct ControlCase {
  const char* name;
  const char* kind;
  QString caption;  // empty: the control has none
  QRect place;
  bool enabled;
  bool shown;
};

QString caption_of(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  return {};
}

TEST_F(WindowAtStart, HasEveryControlAtItsPlaceInItsState) {
  const ControlCase cases[] = {
      {"spSkinButton1", "QPushButton", "Detect DM >>", {4, 33, 121, 25}, false, true},
      {"flsmode", "QRadioButton", "Flash Mode", {153, 29, 150, 25}, true, true},
      {"testmode", "QRadioButton", "Test Mode", {153, 49, 150, 25}, true, true},
      {"spSkinLinkLabel1", "app::LinkLabel", "Forum / Support", {329, 31, 97, 17}, true, true},
      {"spSkinComboBox1", "QComboBox", "", {440, 25, 161, 22}, true, true},
      {"spSkinButton2", "QPushButton", "Detect Port", {441, 49, 159, 17}, true, true},
      {"spSkinButton3", "QPushButton", "Save Log", {5, 74, 120, 20}, true, false},
      {"ComLed2", "app::StatusLamp", "", {487, 73, 25, 25}, true, true},
      {"ComLed1", "app::StatusLamp", "", {527, 73, 25, 25}, true, true},
      {"Memo1", "QPlainTextEdit", "", {4, 104, 592, 209}, true, true},
      {"PP", "QProgressBar", "", {4, 315, 601, 21}, true, true},
  };
  auto* group = window->findChild<QGroupBox*>("spSkinGroupBox1");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), "Main Interface:");
  EXPECT_EQ(group->geometry(), QRect(1, 1, 606, 338));

  for (const ControlCase& c : cases) {
    auto* control = window->findChild<QWidget*>(c.name);
    ASSERT_NE(control, nullptr) << c.name;
    EXPECT_EQ(control->parentWidget(), group) << c.name;
    EXPECT_TRUE(control->inherits(c.kind))
        << c.name << " is a " << control->metaObject()->className();
    EXPECT_EQ(caption_of(control), c.caption) << c.name;
    EXPECT_EQ(control->geometry(), c.place) << c.name;
    EXPECT_EQ(control->isEnabled(), c.enabled) << c.name;
    EXPECT_EQ(!control->isHidden(), c.shown) << c.name;
  }
}

TEST_F(WindowAtStart, IsAFixedFramelessWindowWithItsCaptionAndClientArea) {
  EXPECT_EQ(window->windowTitle(), "Pellora By Vantrosk");
  EXPECT_EQ(window->client_area()->size(), QSize(610, 345));
  EXPECT_EQ(window->pos(), QPoint(322, 198));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

  window->show();
  EXPECT_EQ(window->title_bar()->findChild<QLabel*>("caption")->text(), "Pellora By Vantrosk");
  // The client area sits right below the title bar, at its full size.
  EXPECT_EQ(window->client_area()->geometry().top(), window->title_bar()->geometry().bottom() + 1);
}

TEST_F(WindowAtStart, ModesAreUncheckedAndTheListEmpty) {
  EXPECT_FALSE(window->flsmode->isChecked());
  EXPECT_FALSE(window->testmode->isChecked());
  EXPECT_EQ(window->spSkinComboBox1->count(), 0);
  EXPECT_EQ(window->spSkinComboBox1->currentIndex(), -1);
  EXPECT_EQ(window->spSkinComboBox1->maxVisibleItems(), 8);
  EXPECT_FALSE(window->ComLed2->is_lit());
  EXPECT_FALSE(window->ComLed1->is_lit());
  EXPECT_TRUE(window->log_bytes().isEmpty());
  EXPECT_FALSE(window->abort_flag());

  std::vector<QString> control_set;
  for (QWidget* control : window->control_set()) control_set.push_back(control->objectName());
  EXPECT_EQ(control_set, (std::vector<QString>{"spSkinButton1", "spSkinComboBox1", "spSkinButton2",
                                               "flsmode", "testmode"}));
}

TEST_F(WindowAtStart, ADisabledRadioButtonStillShowsWhetherItIsChecked) {
  window->show();
  window->flsmode->setChecked(true);
  window->disable_control_set();
  const QImage checked = window->flsmode->grab().toImage();
  window->testmode->setChecked(true);  // unchecks Flash Mode
  ASSERT_FALSE(window->flsmode->isChecked());
  const QImage unchecked = window->flsmode->grab().toImage();
  EXPECT_NE(checked, unchecked);
}

TEST_F(WindowAtStart, TheGaugeShowsItsValueAndPercentCentred) {
  EXPECT_EQ(window->PP->minimum(), 0);
  EXPECT_EQ(window->PP->maximum(), 100);
  EXPECT_EQ(window->PP->value(), 0);
  EXPECT_EQ(window->PP->text(), "0%");
  EXPECT_TRUE(window->PP->alignment() & Qt::AlignHCenter);
  ScreenLog::show_percent(*window->PP, 37);
  EXPECT_EQ(window->PP->text(), "37%");
}

TEST_F(WindowAtStart, TheLogIsAnEditableWrappingCourierPaneInItsBlue) {
  QPlainTextEdit* memo = window->Memo1;
  memo->ensurePolished();
  const QString family = QFontInfo(memo->font()).family();
  EXPECT_TRUE(family == "Courier New" || family == "Liberation Mono") << family.toStdString();
  EXPECT_EQ(memo->font().pointSize(), 8);
  EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(0, 123, 183));
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_FALSE(memo->isReadOnly());
  EXPECT_FALSE(memo->tabChangesFocus());
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(WindowAtStart, TheControlsShareTheWindowsEightPointFont) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           window->spSkinButton1, window->flsmode, window->testmode, window->spSkinComboBox1,
           window->spSkinButton2, window->spSkinButton3}) {
    control->ensurePolished();
    EXPECT_EQ(QFontInfo(control->font()).pointSize(), 8) << control->objectName().toStdString();
  }
}

TEST_F(WindowAtStart, TheLogHasTheFocusAndComesFirstInTheTabOrder) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.form.get()));
  EXPECT_EQ(QApplication::focusWidget(), window->Memo1);

  std::vector<QString> order;
  QWidget* widget = window->Memo1;
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(window.form.get())) {
      order.push_back(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  } while (widget != window->Memo1);
  EXPECT_EQ(order, (std::vector<QString>{"Memo1", "spSkinButton1", "flsmode", "testmode",
                                         "spSkinComboBox1", "spSkinButton2"}));
}

TEST_F(WindowAtStart, TheSkinIsOneCompressedStyleSheetInTheProgram) {
  const QResource skin(QString::fromLatin1(app::skin_resource));
  ASSERT_TRUE(skin.isValid());
  EXPECT_NE(skin.compressionAlgorithm(), QResource::NoCompression);
  EXPECT_FALSE(window->styleSheet().isEmpty());
  EXPECT_EQ(window->styleSheet(), app::skin_style_sheet());
}

TEST(HelpPage, IsFoundBesideTheProgramOrWhereItIsInstalled) {
  QTemporaryDir tree;
  ASSERT_TRUE(tree.isValid());
  const QString bin = tree.filePath("bin");
  ASSERT_TRUE(QDir().mkpath(bin + "/help"));
  const QString installed = tree.filePath("share/pellora/help/index.html");

  // Nothing there yet: the address still names where the installed page belongs.
  EXPECT_EQ(app::help_page_path(bin), installed);

  ASSERT_TRUE(QDir().mkpath(tree.filePath("share/pellora/help")));
  QFile(installed).open(QIODevice::WriteOnly);
  EXPECT_EQ(app::help_page_path(bin), installed);

  QFile(bin + "/help/index.html").open(QIODevice::WriteOnly);
  EXPECT_EQ(app::help_page_path(bin), bin + "/help/index.html");
  EXPECT_EQ(app::help_page_url(bin), QUrl::fromLocalFile(bin + "/help/index.html"));
}

TEST_F(WindowAtStart, TheLinkLabelOpensTheHelpPageItsHintNames) {
  EXPECT_TRUE(window->help_url().isLocalFile());
  EXPECT_TRUE(window->help_url().path().endsWith("/help/index.html"));
  EXPECT_EQ(window->spSkinLinkLabel1->toolTip(), "Join Us at : " + window->help_url().toString());
  EXPECT_EQ(window->spSkinLinkLabel1->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(window->spSkinLinkLabel1->font().bold());
  EXPECT_TRUE(window->spSkinLinkLabel1->font().underline());

  window->show();
  QTest::mouseClick(window->spSkinLinkLabel1, Qt::LeftButton);
  ASSERT_EQ(window.opened_urls.size(), 1u);
  EXPECT_EQ(window.opened_urls[0], window->help_url());
}

}  // namespace
