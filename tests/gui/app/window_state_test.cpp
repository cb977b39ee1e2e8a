// Which controls are usable when, driven by clicks and keys; Esc; "Detect Port"; the title
// bar; the lamps; the close clean-up.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/link_label.h"
#include "app/port_list_delegate.h"
#include "app/skin.h"
#include "app/status_lamp.h"
#include "app/title_bar.h"
#include "fake_port.h"
#include "window_fixture.h"

namespace {

std::vector<bool> control_set_enabled(const TForm1& form) {
  std::vector<bool> enabled;
  for (QWidget* control : form.control_set()) enabled.push_back(control->isEnabled());
  return enabled;
}

const std::vector<bool> all_enabled(5, true);
const std::vector<bool> none_enabled(5, false);

class WindowStates : public testing::Test {
 protected:
  void SetUp() override {
    auto port = std::make_unique<FakePort>(std::set<std::string>{"/dev/fake0", "/dev/fake1"});
    fake = port.get();
    window = std::make_unique<WindowUnderTest>(
        std::move(port), std::vector<std::string>{"/dev/fake0", "/dev/missing", "/dev/fake1"});
    (*window)->show();
  }

  TForm1& form() { return **window; }

  FakePort* fake = nullptr;
  std::unique_ptr<WindowUnderTest> window;
};

TEST_F(WindowStates, ChoosingAModeMakesDetectDmUsableAndTheModesExcludeEachOther) {
  ASSERT_FALSE(form().spSkinButton1->isEnabled());
  QTest::mouseClick(form().flsmode, Qt::LeftButton);
  EXPECT_TRUE(form().flsmode->isChecked());
  EXPECT_TRUE(form().spSkinButton1->isEnabled());

  QTest::mouseClick(form().testmode, Qt::LeftButton);
  EXPECT_TRUE(form().testmode->isChecked());
  EXPECT_FALSE(form().flsmode->isChecked());
  EXPECT_TRUE(form().spSkinButton1->isEnabled());
}

TEST_F(WindowStates, DuringACheckOnlyTheControlSetIsDeadAndAfterItAllOfItIsUsable) {
  form().spSkinButton2->click();
  form().spSkinComboBox1->hidePopup();
  form().spSkinComboBox1->setCurrentIndex(0);
  QTest::mouseClick(form().testmode, Qt::LeftButton);

  // The fake box never greets: look at the window while the check waits, then press Esc.
  std::vector<bool> during;
  bool others_live = false;
  QTimer::singleShot(100, form().Memo1, [&] {
    during = control_set_enabled(form());
    others_live = form().spSkinLinkLabel1->isEnabled() && form().Memo1->isEnabled() &&
                  form().title_bar()->isEnabled();
    QTest::keyClick(form().Memo1, Qt::Key_Escape);
  });
  QTest::mouseClick(form().spSkinButton1, Qt::LeftButton);

  EXPECT_EQ(during, none_enabled);
  EXPECT_TRUE(others_live);
  EXPECT_EQ(form().last_outcome(), boot::Outcome::aborted);
  EXPECT_EQ(control_set_enabled(form()), all_enabled);
  EXPECT_TRUE(form().spSkinButton3->isHidden());
  EXPECT_EQ(log_lines(form()).back(), "User Abort!");
}

TEST_F(WindowStates, EscAnywhereInTheWindowSetsTheAbortFlagAndNothingElseDoes) {
  QWidget* targets[] = {form().Memo1, form().spSkinButton2, form().flsmode, form().spSkinComboBox1,
                        &form()};
  for (QWidget* target : targets) {
    form().set_abort_flag(false);
    QTest::keyClick(target, Qt::Key_A);
    EXPECT_FALSE(form().abort_flag()) << target->objectName().toStdString();
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_TRUE(form().abort_flag()) << target->objectName().toStdString();
  }

  // Esc in another window is not this window's.
  form().set_abort_flag(false);
  QWidget other;
  other.show();
  QTest::keyClick(&other, Qt::Key_Escape);
  EXPECT_FALSE(form().abort_flag());
}

TEST_F(WindowStates, DetectPortListsWhatOpensInOrderAndDropsTheListDown) {
  for (int round = 0; round < 2; ++round) {  // the second scan starts from an empty list
    form().spSkinButton2->click();
    QStringList listed;
    for (int i = 0; i < form().spSkinComboBox1->count(); ++i) {
      listed << form().spSkinComboBox1->itemText(i);
    }
    EXPECT_EQ(listed, QStringList({"/dev/fake0", "/dev/fake1"}));
    EXPECT_EQ(form().spSkinComboBox1->currentIndex(), -1);  // the user picks
    EXPECT_TRUE(form().spSkinComboBox1->view()->isVisible());
    form().spSkinComboBox1->hidePopup();
  }
  EXPECT_FALSE(form().ComPort1().is_open());
  EXPECT_TRUE(window->errors.empty());
}

TEST(DetectPort, EachPortShowsItsAdapterBesideItsNameWhichIsWhatTheCheckOpens) {
  const std::string adapter = "/dev/fake0", bare = "/dev/fake1";
  const QString description = "FT232R USB UART — FTDI (ftdi_sio), serial A50285BI";
  auto port = std::make_unique<FakePort>(std::set<std::string>{adapter, bare});
  FakePort* fake = port.get();
  WindowUnderTest window(std::move(port), {adapter, bare}, [&](WindowSetup& setup) {
    setup.describe_port = [&](const std::string& name) {
      return name == adapter ? description.toStdString() : std::string();
    };
  });
  window->show();
  window->spSkinButton2->click();
  QComboBox* list = window->spSkinComboBox1;
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->itemText(0), QString::fromStdString(adapter));
  EXPECT_EQ(list->itemData(0, app::port_description_role).toString(), description);
  EXPECT_EQ(list->itemData(0, Qt::ToolTipRole).toString(), description);
  EXPECT_FALSE(list->itemData(1, app::port_description_role).isValid());

  // The dropped-down list is wide enough for the description, drawn beside the name.
  QAbstractItemView* view = list->view();
  const int row_width = view->sizeHintForIndex(view->model()->index(0, 0)).width();
  EXPECT_GT(row_width, view->sizeHintForIndex(view->model()->index(1, 0)).width() +
                           view->fontMetrics().horizontalAdvance(description) / 2);
  EXPECT_GE(view->width(), row_width);
  EXPECT_GT(view->width(), list->width());
  list->hidePopup();

  // Picked, it reads and opens as the name alone.
  list->setCurrentIndex(0);
  EXPECT_EQ(list->currentText(), QString::fromStdString(adapter));
  fake->opened.clear();
  QTest::mouseClick(window->testmode, Qt::LeftButton);
  QTimer::singleShot(100, window->Memo1, [&] { QTest::keyClick(window->Memo1, Qt::Key_Escape); });
  QTest::mouseClick(window->spSkinButton1, Qt::LeftButton);
  EXPECT_EQ(fake->opened, std::vector<std::string>{adapter});
}

TEST(DetectPort, TheDescriptionIsDrawnInTheDroppedDownRow) {
  QComboBox list;
  list.setItemDelegate(new app::PortListDelegate(&list));
  app::add_port_item(list, "/dev/ttyUSB0", "FT232R USB UART — FTDI (ftdi_sio)");
  app::add_port_item(list, "/dev/ttyUSB0", "");
  QAbstractItemView* view = list.view();
  const auto draw_row = [&](int row) {
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = QRect(0, 0, 400, 20);
    option.state |= QStyle::State_Enabled;
    QImage image(option.rect.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    list.itemDelegate()->paint(&painter, option, list.model()->index(row, 0));
    return image;
  };
  const QImage described = draw_row(0), bare = draw_row(1);
  const int name_end = view->fontMetrics().horizontalAdvance("/dev/ttyUSB0") + 4;
  // The same name on both rows; only the described one has more to its right.
  EXPECT_EQ(described.copy(0, 0, name_end, 20), bare.copy(0, 0, name_end, 20));
  EXPECT_NE(described.copy(name_end, 0, 400 - name_end, 20),
            bare.copy(name_end, 0, 400 - name_end, 20));
}

TEST(DetectPort, AListOfManyPortsDropsDownEightRowsAndScrollsTheRest) {
  std::set<std::string> present;
  std::vector<std::string> candidates;
  for (int n = 1; n <= 20; ++n) {
    candidates.push_back("/dev/ttyUSB" + std::to_string(n));
    present.insert(candidates.back());
  }
  WindowUnderTest window(std::make_unique<FakePort>(present), candidates);
  window->show();
  window->spSkinButton2->click();
  ASSERT_EQ(window->spSkinComboBox1->count(), 20);
  QAbstractItemView* view = window->spSkinComboBox1->view();
  ASSERT_TRUE(view->isVisible());
  const int row_height = view->sizeHintForRow(0);
  ASSERT_GT(row_height, 0);
  EXPECT_LE(view->viewport()->height(), 8 * row_height + row_height / 2);
  EXPECT_GE(view->viewport()->height(), 7 * row_height);
  EXPECT_TRUE(view->verticalScrollBar()->isVisible());
  window->spSkinComboBox1->hidePopup();
}

TEST(DetectPort, WithNothingThatOpensTheListStaysEmptyAndShut) {
  WindowUnderTest window(std::make_unique<FakePort>(), {"/dev/missing"});
  window->show();
  window->spSkinButton2->click();
  EXPECT_EQ(window->spSkinComboBox1->count(), 0);
  EXPECT_FALSE(window->spSkinComboBox1->view()->isVisible());
}

TEST_F(WindowStates, AClickDuringAScanStartsNothing) {
  // Whatever lets the window handle a click while the scan opens ports, the click must
  // neither start a second scan (a name listed twice) nor a check on the same port.
  form().flsmode->click();
  int nested_clicks = 0;
  fake->on_open = [&](const std::string&) {
    if (nested_clicks++ < 2) {
      form().spSkinButton2->click();
      form().spSkinButton1->click();
    }
  };
  form().spSkinButton2->click();
  fake->on_open = nullptr;

  EXPECT_EQ(form().spSkinComboBox1->count(), 2);
  EXPECT_EQ(form().last_outcome(), std::nullopt);
}

TEST_F(WindowStates, TheLampsFollowThePortWhileTheWindowIsIdle) {
  form().ComPort1().set_port("/dev/fake0");
  fake->waiting = 3;
  form().ComPort1().open();
  QTest::qWait(400);  // polled, not pushed
  EXPECT_TRUE(form().ComLed2->is_lit());
  EXPECT_TRUE(form().ComLed1->is_lit());

  fake->waiting = 0;
  QTest::qWait(400);
  EXPECT_TRUE(form().ComLed2->is_lit());
  EXPECT_FALSE(form().ComLed1->is_lit());

  fake->waiting = 3;
  form().ComPort1().close();
  fake->asked_while_closed = 0;
  QTest::qWait(400);
  EXPECT_FALSE(form().ComLed2->is_lit());
  EXPECT_FALSE(form().ComLed1->is_lit());
  EXPECT_EQ(fake->asked_while_closed, 0) << "only an open port is polled";
}

TEST_F(WindowStates, ADoubleClickOnTheTitleBarRollsTheWindowUpAndBack) {
  const QSize full = form().size();
  QTest::mouseDClick(form().title_bar(), Qt::LeftButton, {}, {200, 10});
  EXPECT_TRUE(form().rolled_up());
  EXPECT_TRUE(form().client_area()->isHidden());
  EXPECT_EQ(form().height(), app::title_bar_height + 2);
  EXPECT_EQ(form().width(), full.width());

  QTest::mouseDClick(form().title_bar(), Qt::LeftButton, {}, {200, 10});
  EXPECT_FALSE(form().rolled_up());
  EXPECT_EQ(form().size(), full);
  EXPECT_EQ(form().client_area()->size(), QSize(610, 345));
}

TEST_F(WindowStates, TheSystemMenuMinimisesRollsUpAndCloses) {
  QMenu* menu = form().title_bar()->system_menu();
  QStringList entries;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) entries << action->text();
  }
  EXPECT_EQ(entries, QStringList({"Minimise", "Roll up", "Loader image…",
                                  "Use the built-in stand-in", "About Pellora", "Close"}));

  menu->findChild<QAction*>("rollUpAction")->trigger();
  EXPECT_TRUE(form().rolled_up());
  EXPECT_EQ(menu->findChild<QAction*>("rollUpAction")->text(), "Roll down");
  menu->findChild<QAction*>("rollUpAction")->trigger();
  EXPECT_FALSE(form().rolled_up());

  menu->findChild<QAction*>("minimiseAction")->trigger();
  EXPECT_TRUE(form().windowState() & Qt::WindowMinimized);
  form().showNormal();

  menu->findChild<QAction*>("closeAction")->trigger();
  EXPECT_FALSE(form().isVisible());
}

TEST_F(WindowStates, DraggingTheTitleBarMovesTheWindow) {
  const QPoint start = form().pos();
  app::TitleBar* bar = form().title_bar();
  QTest::mousePress(bar, Qt::LeftButton, {}, {200, 10});
  QTest::mouseMove(bar, {230, 30});
  QTest::mouseRelease(bar, Qt::LeftButton, {}, {230, 30});
  EXPECT_EQ(form().pos(), start + QPoint(30, 20));
}

TEST(WindowClose, DeletesTheStaleDmbFileInTheTemporaryFolderAndNothingElse) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QByteArray old_tmpdir = qgetenv("TMPDIR");
  qputenv("TMPDIR", temp.path().toLocal8Bit());

  for (const bool stale_file : {true, false}) {
    if (stale_file) QFile(temp.filePath("dmb")).open(QIODevice::WriteOnly);
    QFile(temp.filePath("dmb.keep")).open(QIODevice::WriteOnly);
    WindowUnderTest window(std::make_unique<FakePort>());
    window->show();
    window->title_bar()->findChild<QToolButton*>("closeButton")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(QFile::exists(temp.filePath("dmb")));
    EXPECT_TRUE(QFile::exists(temp.filePath("dmb.keep")));
    EXPECT_TRUE(window.errors.empty());
  }
  if (old_tmpdir.isEmpty()) {
    qunsetenv("TMPDIR");
  } else {
    qputenv("TMPDIR", old_tmpdir);
  }
}

}  // namespace
