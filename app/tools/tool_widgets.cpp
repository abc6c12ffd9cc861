#include "app/tools/tool_widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/fit.h"

namespace app {

QLineEdit* addValueRow(QWidget& form, QGridLayout& grid, const char* name, const char* label, const char* unit) {
    const int row = grid.rowCount();
    auto* caption = new QLabel(QString::fromLatin1(label), &form);
    caption->setObjectName(QString::fromLatin1(name).replace(0, 3, QStringLiteral("lbl")));
    auto* box = new QLineEdit(&form);
    box->setObjectName(QString::fromLatin1(name));
    caption->setBuddy(box);
    platform::fitToText(*box, platform::longestNumber());
    grid.addWidget(caption, row, 0);
    grid.addWidget(box, row, 1);
    if (*unit) grid.addWidget(new QLabel(QString::fromUtf8(unit), &form), row, 2);
    return box;
}

QLineEdit* addDisplayRow(QWidget& form, QGridLayout& grid, const char* name, const char* label, const char* unit) {
    QLineEdit* box = addValueRow(form, grid, name, label, unit);
    box->setReadOnly(true);
    return box;
}

QPushButton* makeButton(QWidget& form, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), &form);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QCheckBox* makeCheckBox(QWidget& form, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), &form);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

void fitTexts(QWidget& form, std::initializer_list<std::pair<const char*, QString>> longest) {
    for (const auto& [name, text] : longest)
        if (auto* box = form.findChild<QLineEdit*>(QString::fromLatin1(name))) platform::fitToText(*box, text);
}

QHBoxLayout* columnsRow(std::initializer_list<QGridLayout*> columns) {
    auto* row = new QHBoxLayout;
    for (QGridLayout* column : columns) {
        column->setRowStretch(column->rowCount(), 1);
        row->addLayout(column);
    }
    return row;
}

QHBoxLayout* readPrintCloseRow(QPushButton* read, QPushButton* print, QPushButton* close) {
    auto* row = new QHBoxLayout;
    row->addWidget(read);
    row->addWidget(print);
    row->addStretch();
    row->addWidget(close);
    return row;
}

}  // namespace app
