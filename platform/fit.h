// Value boxes wide enough for the longest text their field can hold, sized
// once when a form is built, so that a Read never cuts a value nor changes
// the form's size.
#pragma once

#include <QString>

class QLineEdit;

namespace platform {

// The width, in pixels, that the text of `box` can take without scrolling:
// its contents rectangle less the margins the box keeps around its text.
int textRoom(const QLineEdit& box);

// Whether `text` shows whole in `box` at its present width.
bool textFits(const QLineEdit& box, const QString& text);

// Makes `box` at least wide enough to show `longest` whole.
void fitToText(QLineEdit& box, const QString& longest);

// The longest texts of common kinds of field, as fitToText takes them.
// A number as the forms write it, sign and exponent included ("-1.234568E+38").
QString longestNumber();
// A text of `length` characters of the meter's packed character set (upper
// case, digits and signs).
QString longestPackedText(int length);

}  // namespace platform
