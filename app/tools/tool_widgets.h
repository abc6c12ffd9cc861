// Building blocks of the tool forms, which lay out their many boxes in code:
// a labelled box with its unit, a named button, a named check box.
#pragma once

#include <QString>

#include <initializer_list>
#include <utility>

class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace app {

// Appends a row to `grid` of `form`: the label (the box's buddy), the box
// named `name`, and the unit (omitted when empty). The box is wide enough
// for any number the forms write; fitTexts widens those that hold texts.
QLineEdit* addValueRow(QWidget& form, QGridLayout& grid, const char* name, const char* label,
                       const char* unit = "");
// The same for a box that only shows what was read.
QLineEdit* addDisplayRow(QWidget& form, QGridLayout& grid, const char* name, const char* label,
                         const char* unit = "");
// Widens the boxes of `form` named in `longest` to show its text whole:
// the longest text each can hold.
void fitTexts(QWidget& form, std::initializer_list<std::pair<const char*, QString>> longest);
QPushButton* makeButton(QWidget& form, const char* name, const char* caption);
QCheckBox* makeCheckBox(QWidget& form, const char* name, const char* caption);
// The report forms' shape: their value columns side by side, each packed to the top.
QHBoxLayout* columnsRow(std::initializer_list<QGridLayout*> columns);
// Their buttons: Read and Print on the left, Close on the right.
QHBoxLayout* readPrintCloseRow(QPushButton* read, QPushButton* print, QPushButton* close);

}  // namespace app
