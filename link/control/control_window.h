// The control's window: 32 by 32 pixels whatever its container asks for,
// showing the control's bitmap; F1 opens the control's help.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace fenwire {

inline constexpr int kControlWindowSide = 32;

// The control's picture, 32 by 32: the window shows it and the About box
// uses it as the control's icon.
QPixmap controlBitmap();

class ControlWindow : public QWidget {
    Q_OBJECT
public:
    explicit ControlWindow(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap bitmap_;
};

}  // namespace fenwire
