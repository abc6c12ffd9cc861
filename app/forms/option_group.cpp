#include "app/forms/option_group.h"

#include <QButtonGroup>
#include <QRadioButton>

namespace app {

OptionGroup::OptionGroup(const QWidget& form, const char* base) {
    const QString prefix = QString::fromLatin1(base) + u'_';
    while (auto* option = form.findChild<QRadioButton*>(prefix + QString::number(options_.size())))
        options_.append(option);
    Q_ASSERT(!options_.isEmpty());
    group_ = options_.front()->group();
    Q_ASSERT(group_);
    for (int code = 0; code < size(); ++code) group_->setId(options_[code], code);
}

int OptionGroup::Selected() const { return group_->checkedId(); }

void OptionGroup::Select(int code) {
    if (HasOption(code)) options_[code]->setChecked(true);
}

void OptionGroup::Clear() { ClearOptions(*group_); }

void OptionGroup::OnSelectionChanged(const std::function<void(int)>& handler) {
    QButtonGroup* group = group_;
    QObject::connect(group, &QButtonGroup::idToggled, group, [group, handler] { handler(group->checkedId()); });
}

void ClearOptions(QButtonGroup& group) {
    // An exclusive group keeps one option checked; it lets go only while not exclusive.
    const bool exclusive = group.exclusive();
    group.setExclusive(false);
    for (QAbstractButton* option : group.buttons()) option->setChecked(false);
    group.setExclusive(exclusive);
}

}  // namespace app
