#include "app/title_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWindow>

#include "app/skin.h"

namespace app {

namespace {

QToolButton* title_button(const QString& name, const QIcon& icon, const QString& hint,
                          QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(icon);
  button->setToolTip(hint);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoRaise(true);
  return button;
}

}  // namespace

TitleBar::TitleBar(const QString& caption, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("titleBar"));
  setAttribute(Qt::WA_StyledBackground);
  setFixedHeight(title_bar_height);

  system_menu_ = new QMenu(this);
  system_menu_->setObjectName(QStringLiteral("systemMenu"));
  QAction* minimise = system_menu_->addAction(QStringLiteral("Minimise"));
  minimise->setObjectName(QStringLiteral("minimiseAction"));
  roll_up_action_ = system_menu_->addAction(QStringLiteral("Roll up"));
  roll_up_action_->setObjectName(QStringLiteral("rollUpAction"));
  system_menu_->addSeparator();
  QAction* close = system_menu_->addAction(QStringLiteral("Close"));
  close->setObjectName(QStringLiteral("closeAction"));
  connect(minimise, &QAction::triggered, this, &TitleBar::minimise_clicked);
  connect(roll_up_action_, &QAction::triggered, this, &TitleBar::roll_up_clicked);
  connect(close, &QAction::triggered, this, &TitleBar::close_clicked);

  system_button_ =
      title_button(QStringLiteral("systemMenuButton"), app_icon(), QStringLiteral("Menu"), this);
  system_button_->setMenu(system_menu_);
  system_button_->setPopupMode(QToolButton::InstantPopup);

  caption_ = new QLabel(caption, this);
  caption_->setObjectName(QStringLiteral("caption"));

  minimise_button_ = title_button(QStringLiteral("minimiseButton"), minimise_glyph(),
                                  QStringLiteral("Minimise"), this);
  close_button_ =
      title_button(QStringLiteral("closeButton"), close_glyph(), QStringLiteral("Close"), this);
  connect(minimise_button_, &QToolButton::clicked, this, &TitleBar::minimise_clicked);
  connect(close_button_, &QToolButton::clicked, this, &TitleBar::close_clicked);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 0, 2, 0);
  row->setSpacing(2);
  row->addWidget(system_button_);
  row->addSpacing(4);
  row->addWidget(caption_, 1);
  row->addWidget(minimise_button_);
  row->addWidget(close_button_);
}

void TitleBar::show_rolled_up(bool rolled_up) {
  roll_up_action_->setText(rolled_up ? QStringLiteral("Roll down") : QStringLiteral("Roll up"));
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressed_ = true;
  drag_offset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void TitleBar::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) return QWidget::mouseMoveEvent(event);
  if (!dragging_) {
    // The window system moves the window best (and on Wayland only it can), but handing it
    // the press itself would swallow the second click of a double-click, so it gets the
    // move only once the mouse moves.
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) {
      pressed_ = false;
      return;
    }
    dragging_ = true;
  }
  window()->move(event->globalPosition().toPoint() - drag_offset_);
}

void TitleBar::mouseReleaseEvent(QMouseEvent* event) {
  pressed_ = false;
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    dragging_ = false;
    emit roll_up_clicked();
  }
}

}  // namespace app
