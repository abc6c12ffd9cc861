// Number texts for every form, report and file of the utility. Screens use
// the user's locale; files always use "." so they read back in any locale.
#pragma once

#include <QString>

namespace app {

// Shortest text with at most 7 significant digits, scientific ("1.234568E+07",
// "1E-05") when the decimal exponent is below -4 or above 6; user's locale.
QString NumberText(float value);
// The value rounded to `places` decimals, halves to the even digit, judged on
// the value as stored; shortest plain text without trailing zeros; user's locale.
QString RoundedText(float value, int places);
// Whether an entry is a number: optional sign, digits with the locale's
// decimal separator, optional exponent; blanks around it are allowed.
bool IsNumeric(const QString& text);
// Parses an entry; false when it is not numeric or not a finite
// single-precision value (too large for a float).
bool ParseNumber(const QString& text, float& value);
// Scientific text with a one-digit mantissa of up to six decimals and the
// exponent's sign only when negative ("1.234568e3", "2.5e-4", "0e0"); the
// decimal point goes with the decimals. User's locale.
QString ScientificText(float value);
// As NumberText, with "." as decimal separator whatever the locale.
QString FileNumberText(float value);
// A digit pattern "0.<min zeros><optional #>" ("0.##" is 0 and 2, "0.000####"
// is 3 and 7): the shortest plain text that reads back as the value, rounded
// to maxDecimals places when it has more, padded with zeros to minDecimals;
// "." whatever the locale, and a point after the last integer digit when no
// decimal is written ("20." for 20 in "0.##").
QString FilePatternText(float value, int minDecimals, int maxDecimals);
// Parses a number of a file: "." as decimal separator whatever the locale;
// false as ParseNumber.
bool ParseFileNumber(const QString& text, float& value);

}  // namespace app
