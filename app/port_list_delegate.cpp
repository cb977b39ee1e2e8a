#include "app/port_list_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <algorithm>

namespace app {

namespace {

// Between the name and its description, in average character widths.
constexpr int gap_characters = 2;

int gap(const QFontMetrics& metrics) {
  return gap_characters * metrics.averageCharWidth();
}

}  // namespace

void PortListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  QStyleOptionViewItem item(option);
  initStyleOption(&item, index);
  const QString name = item.text;
  const QString description = index.data(port_description_role).toString();
  const QWidget* widget = item.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();

  // The row's background and focus as the style draws them, the texts drawn here: from
  // where the style puts the text (asked while the item still has its text) to the row's
  // end less the style's margin.
  const int left = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).left();
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect text_area(left, item.rect.top(), item.rect.right() + 1 - margin - left,
                        item.rect.height());
  item.text.clear();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  painter->save();
  painter->setFont(item.font);
  const bool selected = item.state & QStyle::State_Selected;
  const QPalette::ColorGroup group =
      item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  const QFontMetrics metrics(item.font);
  const int name_width = metrics.horizontalAdvance(name);
  painter->drawText(text_area, Qt::AlignLeft | Qt::AlignVCenter, name);
  if (!description.isEmpty()) {
    QRect rest = text_area.adjusted(name_width + gap(metrics), 0, 0, 0);
    QColor grey = item.palette.color(QPalette::Disabled, QPalette::Text);
    if (selected) grey = item.palette.color(group, QPalette::HighlightedText);
    painter->setPen(grey);
    painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(description, Qt::ElideRight, rest.width()));
  }
  painter->restore();
}

QSize PortListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  const QString description = index.data(port_description_role).toString();
  if (!description.isEmpty()) {
    const QFontMetrics metrics(option.font);
    size.rwidth() += gap(metrics) + metrics.horizontalAdvance(description);
  }
  return size;
}

void add_port_item(QComboBox& list, const QString& name, const QString& description) {
  list.addItem(name);
  if (description.isEmpty()) return;
  const int row = list.count() - 1;
  list.setItemData(row, description, port_description_role);
  list.setItemData(row, description, Qt::ToolTipRole);
}

void fit_popup_width(QComboBox& list) {
  QAbstractItemView* view = list.view();
  const int widest = list.count() > 0 ? view->sizeHintForColumn(0) : 0;
  // Room for the frame and the scroll bar the list shows beyond eight rows.
  const int chrome = 2 * view->frameWidth() +
                     (list.count() > list.maxVisibleItems()
                          ? view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view)
                          : 0);
  view->setMinimumWidth(std::max(list.width(), widest + chrome));
}

}  // namespace app
