#pragma once
// The port list's rows when it is dropped down: the port's name, then in grey what the
// system knows of its adapter. The item's text stays the name alone, which is what the
// dialogue opens.

#include <QStyledItemDelegate>

class QComboBox;

namespace app {

// The item data role that holds a port's description.
inline constexpr int port_description_role = Qt::UserRole + 1;

class PortListDelegate final : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Adds a port to the list: its name as the item's text, its description beside it in the
// dropped-down list and as the item's tooltip.
void add_port_item(QComboBox& list, const QString& name, const QString& description);

// Widens the dropped-down list so that the widest row shows whole (never narrower than the
// list itself).
void fit_popup_width(QComboBox& list);

}  // namespace app
