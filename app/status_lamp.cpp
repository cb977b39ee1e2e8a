#include "app/status_lamp.h"

#include <QPainter>
#include <QRadialGradient>
#include <algorithm>

namespace app {

StatusLamp::StatusLamp(QColor lit_color, QWidget* parent) : QWidget(parent), lit_color_(lit_color) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void StatusLamp::set_lit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  update();
}

void StatusLamp::set_lit_color(const QColor& color) {
  lit_color_ = color;
  update();
}

void StatusLamp::set_off_color(const QColor& color) {
  off_color_ = color;
  update();
}

void StatusLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal diameter = std::min(width(), height()) * 0.62;
  const QRectF lamp((width() - diameter) / 2, (height() - diameter) / 2, diameter, diameter);
  const QColor body = lit_ ? lit_color_ : off_color_;

  if (lit_) {
    // A soft halo, so a lit lamp reads at a glance.
    QRadialGradient halo(lamp.center(), diameter);
    QColor glow = lit_color_;
    glow.setAlpha(90);
    halo.setColorAt(0.0, glow);
    glow.setAlpha(0);
    halo.setColorAt(1.0, glow);
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(lamp.center(), diameter * 0.8, diameter * 0.8);
  }

  QRadialGradient shade(lamp.center() - QPointF(diameter * 0.18, diameter * 0.18), diameter * 0.7);
  shade.setColorAt(0.0, body.lighter(lit_ ? 150 : 120));
  shade.setColorAt(1.0, body.darker(lit_ ? 115 : 125));
  painter.setPen(QPen(body.darker(150), 1));
  painter.setBrush(shade);
  painter.drawEllipse(lamp);
}

}  // namespace app
