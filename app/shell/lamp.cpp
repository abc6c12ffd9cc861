#include "app/shell/lamp.h"

#include <QPainter>

namespace app {

namespace {
constexpr int kDiameter = 16;
const QColor kOnColour(0, 255, 0);
const QColor kOffColour(0, 0, 0);
}  // namespace

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleDescription(QStringLiteral("off"));
}

void Lamp::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    // Screen readers hear the state; a colour alone says nothing to them.
    setAccessibleDescription(on ? QStringLiteral("on") : QStringLiteral("off"));
    QWidget::update();
}

QSize Lamp::sizeHint() const { return {kDiameter, kDiameter}; }
QSize Lamp::minimumSizeHint() const { return sizeHint(); }

void Lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(on_ ? kOnColour : kOffColour);
    const int side = std::min(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}

}  // namespace app
