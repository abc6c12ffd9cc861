// The About dialog of the control, shown by AboutBox, ShowDialog and the
// Busview window's Info/About.
#pragma once

#include <QDialog>
#include <memory>

class QWidget;

namespace Ui {
class AboutBox;
}

namespace fenwire {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    ~AboutBox() override;

private:
    std::unique_ptr<Ui::AboutBox> ui_;
};

// Shows the About dialog modally.
void showAboutBox(QWidget* parent);

}  // namespace fenwire
