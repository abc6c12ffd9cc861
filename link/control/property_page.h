// The control's property page "General", shown by the properties verb.
#pragma once

#include <QWidget>

namespace fenwire {

class CKvFenwirePropPage : public QWidget {
    Q_OBJECT
public:
    explicit CKvFenwirePropPage(QWidget* parent = nullptr);
    // The page's title, shown on its tab.
    static QString title();
};

// Shows the page in a modal property frame with one tab.
void showPropertyPage(QWidget* parent);

}  // namespace fenwire
