#include "platform/fit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

namespace {

// The blank a line edit keeps on each side of its text, and the cursor's width.
constexpr int kLineEditTextMargin = 2;
constexpr int kCursorWidth = 1;

}  // namespace

int textRoom(const QLineEdit& box) {
    QStyleOptionFrame panel;
    panel.initFrom(&box);
    panel.rect = box.rect();
    panel.lineWidth = box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, &box) : 0;
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    if (box.isReadOnly()) panel.state |= QStyle::State_ReadOnly;
    const QRect contents =
        box.style()->subElementRect(QStyle::SE_LineEditContents, &panel, &box).marginsRemoved(box.textMargins());
    return contents.width() - 2 * kLineEditTextMargin - kCursorWidth;
}

bool textFits(const QLineEdit& box, const QString& text) {
    return box.fontMetrics().horizontalAdvance(text) <= textRoom(box);
}

void fitToText(QLineEdit& box, const QString& longest) {
    const int chrome = box.width() - textRoom(box);
    const int needed = box.fontMetrics().horizontalAdvance(longest) + chrome;
    if (box.minimumWidth() < needed) box.setMinimumWidth(needed);
}

QString longestNumber() { return QStringLiteral("-8.888888E+38"); }

QString longestPackedText(int length) {
    // Upper case letters and digits of every width, in the mix a tag or part number has.
    const QString mix = QStringLiteral("MW0-8ZQ2");
    QString text;
    while (text.size() < length) text += mix;
    return text.left(length);
}

}  // namespace platform
