#include "app/log_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

namespace app {

namespace {

const char* kind_name(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::hint:
      return "hint";
    case NoticeKind::good:
      return "good";
    case NoticeKind::trouble:
      return "trouble";
    case NoticeKind::info:
      return "info";
  }
  return "info";
}

}  // namespace

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
  strip_ = new QWidget(this);
  strip_->setObjectName(QStringLiteral("notice"));
  strip_->setAttribute(Qt::WA_StyledBackground);
  text_ = new QLabel(strip_);
  text_->setObjectName(QStringLiteral("noticeText"));
  text_->setWordWrap(true);
  text_->setTextFormat(Qt::PlainText);  // the box's bytes may be quoted: never markup
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  close_ = new QToolButton(strip_);
  close_->setObjectName(QStringLiteral("noticeClose"));
  close_->setText(QStringLiteral("\u00D7"));
  close_->setToolTip(QStringLiteral("Hide this note"));
  close_->setCursor(Qt::PointingHandCursor);
  connect(close_, &QToolButton::clicked, this, &LogPane::clear_notice);
  auto* row = new QHBoxLayout(strip_);
  row->setContentsMargins(6, 4, 2, 4);
  row->setSpacing(4);
  row->addWidget(text_, 1);
  row->addWidget(close_, 0, Qt::AlignTop);
  strip_->hide();
}

void LogPane::show_notice(const QString& text, NoticeKind kind) {
  kind_ = kind;
  text_->setText(text);
  strip_->setProperty("kind", QString::fromLatin1(kind_name(kind)));
  strip_->style()->unpolish(strip_);
  strip_->style()->polish(strip_);
  strip_->setVisible(!text.isEmpty());
  place_notice();
}

QString LogPane::notice() const {
  return strip_->isVisible() ? text_->text() : QString();
}

void LogPane::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  place_notice();
}

// The strip sits over the bottom of the text area; the text area's margin keeps the log's
// last line above it.
void LogPane::place_notice() {
  const QRect area = viewport()->geometry().adjusted(0, 0, 0, viewportMargins().bottom());
  int height = 0;
  if (strip_->isVisible()) {
    height = std::min(strip_->layout()->heightForWidth(area.width()), area.height() * 2 / 3);
    strip_->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
    strip_->raise();
  }
  QScrollBar* scroll = verticalScrollBar();
  const bool at_end = scroll->value() == scroll->maximum();
  setViewportMargins(0, 0, 0, height);
  if (at_end) scroll->setValue(scroll->maximum());
}

}  // namespace app
