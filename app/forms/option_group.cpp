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

void OptionGroup::Clear() {
    // An exclusive group keeps one option checked; it lets go only while not exclusive.
    group_->setExclusive(false);
    for (QRadioButton* option : std::as_const(options_)) option->setChecked(false);
    group_->setExclusive(true);
}

void OptionGroup::OnSelected(const std::function<void(int)>& handler) {
    QObject::connect(group_, &QButtonGroup::idToggled, group_, [handler](int code, bool checked) {
        if (checked) handler(code);
    });
}

}  // namespace app
