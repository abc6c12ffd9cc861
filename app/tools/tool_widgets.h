// Building blocks of the tool forms, which lay out their many boxes in code:
// a labelled box with its unit, a named button, a named check box.
#pragma once

#include <QString>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace app {

// Appends a row to `grid` of `form`: the label (the box's buddy), the box
// named `name`, and the unit (omitted when empty).
QLineEdit* addValueRow(QWidget& form, QGridLayout& grid, const char* name, const char* label,
                       const char* unit = "");
// The same for a box that only shows what was read.
QLineEdit* addDisplayRow(QWidget& form, QGridLayout& grid, const char* name, const char* label,
                         const char* unit = "");
QPushButton* makeButton(QWidget& form, const char* name, const char* caption);
QCheckBox* makeCheckBox(QWidget& form, const char* name, const char* caption);

}  // namespace app
