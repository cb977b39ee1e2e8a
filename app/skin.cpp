#include "app/skin.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

// The resource lives in a static library: it must be registered by name.
static void register_skin_resource() {
  Q_INIT_RESOURCE(pellora);
}

namespace app {

QString skin_style_sheet() {
  register_skin_resource();
  QFile file(QString::fromLatin1(skin_resource));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QFont window_font() {
  QFont font;
  font.setFamilies(
      {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(8);
  return font;
}

QFont log_font() {
  QFont font;
  font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSize(8);
  return font;
}

QFont link_font() {
  QFont font = window_font();
  font.setBold(true);
  font.setUnderline(true);
  return font;
}

namespace {

// Drawn at a few sizes so the icon stays crisp in the title bar and the task bar.
template <typename Draw>
QIcon drawn_icon(Draw draw) {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    draw(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon app_icon() {
  // The same picture as pellora.svg: a set-top box with its power lamp lit.
  return drawn_icon([](QPainter& painter) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x00, 0x7b, 0xb7));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.5, 3.5);
    painter.setBrush(QColor(0xf4, 0xf7, 0xfa));
    painter.drawRoundedRect(QRectF(2.5, 6, 11, 5), 1.2, 1.2);
    painter.setBrush(QColor(0x2e, 0xcc, 0x71));
    painter.drawEllipse(QPointF(11.2, 8.5), 1.1, 1.1);
    painter.setBrush(QColor(0x9a, 0xa9, 0xb8));
    painter.drawRect(QRectF(4, 8, 4.5, 1));
  });
}

QIcon minimise_glyph() {
  return drawn_icon([](QPainter& painter) {
    painter.setPen(QPen(QColor(0xe8, 0xee, 0xf4), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4.5, 11), QPointF(11.5, 11));
  });
}

QIcon close_glyph() {
  return drawn_icon([](QPainter& painter) {
    painter.setPen(QPen(QColor(0xe8, 0xee, 0xf4), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
    painter.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
  });
}

}  // namespace app
