#pragma once
// Memo1: the log, with a notice strip along its bottom edge for what the window has to say
// about the log (a diagnosis, a live hint, where "Save Log" wrote). The strip is not part
// of the log's text, so "Save Log" writes exactly the log; while it shows, the text makes
// room above it and scrolls as before.

#include <QPlainTextEdit>
#include <QString>

class QLabel;
class QToolButton;

namespace app {

enum class NoticeKind {
  hint,     // while waiting: worth a look
  good,     // the check went well
  trouble,  // the check failed: what it means and what to try
  info,     // a plain fact (where the log went)
};

class LogPane final : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit LogPane(QWidget* parent = nullptr);

  // An empty text takes the notice away.
  void show_notice(const QString& text, NoticeKind kind);
  void clear_notice() { show_notice({}, NoticeKind::info); }
  QString notice() const;
  NoticeKind notice_kind() const { return kind_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void place_notice();

  QWidget* strip_;
  QLabel* text_;
  QToolButton* close_;
  NoticeKind kind_ = NoticeKind::info;
};

}  // namespace app
