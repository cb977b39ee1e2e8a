#pragma once
// The window's own title bar: system menu, caption, minimise and close. Dragging it moves
// the window; a double-click rolls the window up to it and back.

#include <QWidget>

class QLabel;
class QMenu;
class QToolButton;

namespace app {

class TitleBar : public QWidget {
  Q_OBJECT
 public:
  explicit TitleBar(const QString& caption, QWidget* parent = nullptr);

  QMenu* system_menu() const { return system_menu_; }
  // The menu's entry says which way the next roll goes.
  void show_rolled_up(bool rolled_up);

 signals:
  void minimise_clicked();
  void roll_up_clicked();
  void close_clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QToolButton* system_button_;
  QLabel* caption_;
  QToolButton* minimise_button_;
  QToolButton* close_button_;
  QMenu* system_menu_;
  QAction* roll_up_action_;
  // Where the press grabbed the window, when the platform cannot move it for us.
  QPoint drag_offset_;
  bool pressed_ = false;
  bool dragging_ = false;
};

}  // namespace app
