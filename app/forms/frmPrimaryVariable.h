// Chooses the meter's primary variable (commands 50 and 130) and its unit
// (command 44). The option buttons' index is the meter's variable code; the
// unit lists beside them carry each entry's HART unit code.
#pragma once

#include <QList>
#include <memory>

#include "app/forms/configuration_form.h"

class QComboBox;
class QRadioButton;

namespace Ui {
class frmPrimaryVariable;
}

namespace app {

class frmPrimaryVariable : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmPrimaryVariable(QWidget* parent = nullptr);
    ~frmPrimaryVariable() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;
    void btnCancel_Click() override;

private:
    // The code of the selected option button, or -1 when none is.
    int SelectedCode() const;
    void Select(int code);
    void rdoPrimaryVariable_Click(int code);
    void EnableFlowAndVelocityLists();

    std::unique_ptr<Ui::frmPrimaryVariable> ui;
    QList<QRadioButton*> rdoPrimaryVariable;  // by variable code, 0..6
    QList<QComboBox*> cmbPrimaryValueUnit;    // by variable code, 0..5
};

}  // namespace app
