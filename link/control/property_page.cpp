#include "link/control/property_page.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/platform.h"

namespace fenwire {

CKvFenwirePropPage::CKvFenwirePropPage(QWidget* parent) : QWidget(parent) {
    setObjectName("CKvFenwirePropPage");
    setWindowTitle(title());
    auto* text = new QLabel("This property page is reserved for future use!", this);
    text->setObjectName("lblReserved");
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    setMinimumSize(250, 62);
}

QString CKvFenwirePropPage::title() { return QStringLiteral("General"); }

void showPropertyPage(QWidget* parent) {
    QDialog frame(parent);
    frame.setObjectName("dlgFenwireProperties");
    frame.setWindowTitle("Fenwire Control Properties");
    auto* tabs = new QTabWidget(&frame);
    tabs->setObjectName("tabPages");
    auto* page = new CKvFenwirePropPage(tabs);
    tabs->addTab(page, CKvFenwirePropPage::title());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &frame);
    buttons->setObjectName("buttons");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btnOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("btnCancel");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &frame, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &frame, &QDialog::reject);
    auto* layout = new QVBoxLayout(&frame);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    platform::showModal(frame);
}

}  // namespace fenwire
