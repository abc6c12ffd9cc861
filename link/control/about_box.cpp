#include "link/control/about_box.h"

#include "link/control/control_window.h"
#include "platform/platform.h"
#include "ui_about_box.h"

namespace fenwire {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutBox>()) {
    ui_->setupUi(this);
    const QPixmap icon = controlBitmap();
    ui_->lblIcon->setPixmap(icon);
    setWindowIcon(icon);
}

AboutBox::~AboutBox() = default;

void showAboutBox(QWidget* parent) {
    AboutBox box(parent);
    platform::showModal(box);
}

}  // namespace fenwire
