// A group of option buttons whose index is the meter's code for the choice
// (a source, a mode, a level). The buttons are the form's `<base>_0`,
// `<base>_1`, ... in one button group.
#pragma once

#include <QList>
#include <functional>

class QButtonGroup;
class QRadioButton;
class QWidget;

namespace app {

class OptionGroup {
public:
    OptionGroup(const QWidget& form, const char* base);

    int size() const { return static_cast<int>(options_.size()); }
    QRadioButton& option(int code) const { return *options_[code]; }
    bool HasOption(int code) const { return code >= 0 && code < size(); }

    // The code of the selected option, or -1 when none is.
    int Selected() const;
    // Selects the option of `code`; a code without an option leaves the selection.
    void Select(int code);
    // No option selected.
    void Clear();
    // Calls `handler` with the selected code (-1 for none) whenever the
    // selection changes, by the user or by the dialog.
    void OnSelectionChanged(const std::function<void(int)>& handler);

private:
    QList<QRadioButton*> options_;
    QButtonGroup* group_ = nullptr;
};

// Unchecks every option of `group`.
void ClearOptions(QButtonGroup& group);

}  // namespace app
