#include "link/control/control_window.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "platform/platform.h"

namespace fenwire {

namespace {
const QSize kSize(kControlWindowSide, kControlWindowSide);
}

// A pipe with a bluff body shedding a vortex street: the meter's principle.
QPixmap controlBitmap() {
    QPixmap pixmap(kSize);
    pixmap.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Pipe walls.
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 2));
    p.setBrush(QColor(0xE8, 0xF0, 0xFF));
    p.drawRect(QRectF(1, 8, 30, 16));

    // Bluff body.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x20, 0x80));
    p.drawPolygon(QPolygonF({QPointF(6, 11), QPointF(10, 16), QPointF(6, 21)}));

    // Vortices, alternating above and below the axis.
    p.setPen(QPen(QColor(0x00, 0x60, 0xC0), 1.5));
    p.setBrush(Qt::NoBrush);
    const QList<QPointF> centres = {{14, 13}, {19, 19}, {24, 13}, {28, 19}};
    for (const QPointF& c : centres) p.drawArc(QRectF(c.x() - 2.5, c.y() - 2.5, 5, 5), 30 * 16, 300 * 16);

    // The signal leaving the meter.
    p.setPen(QPen(QColor(0xC0, 0x20, 0x20), 1.5));
    QPainterPath wave(QPointF(4, 4));
    for (int x = 4; x < 28; x += 6) {
        wave.quadTo(QPointF(x + 1.5, 1), QPointF(x + 3, 4));
        wave.quadTo(QPointF(x + 4.5, 7), QPointF(x + 6, 4));
    }
    p.drawPath(wave);
    p.drawLine(QPointF(16, 24), QPointF(16, 30));
    return pixmap;
}

ControlWindow::ControlWindow(QWidget* parent) : QWidget(parent), bitmap_(controlBitmap()) {
    setObjectName("Fenwire");
    setFixedSize(kSize);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
}

QSize ControlWindow::sizeHint() const { return kSize; }

void ControlWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, bitmap_);
}

void ControlWindow::resizeEvent(QResizeEvent* event) {
    // A container that lifted the size limits still gets the window back at 32 by 32.
    if (event->size() != kSize) setFixedSize(kSize);
    QWidget::resizeEvent(event);
}

void ControlWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp("Fenwire");
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace fenwire
