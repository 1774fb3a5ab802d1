#include "ui/widgets/OfficeRadioGroup.h"

#include <QAbstractButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

OfficeRadioGroup::OfficeRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 6, 8, 6);
    layout->setSpacing(2);
    for (int index = 0; index < items.size(); ++index) {
        auto* button = new QRadioButton(items.at(index), this);
        buttons_.addButton(button, index);
        layout->addWidget(button);
    }
    connect(&buttons_, &QButtonGroup::idToggled, this, [this] { keepTabStopOnSelection(); });
    keepTabStopOnSelection();
}

void OfficeRadioGroup::keepTabStopOnSelection()
{
    // Tab enters the group at the selected option (the first when none is), so that the arrow
    // keys, which move the selection only from the selected option, move it with the focus.
    const int tabStop = std::max(itemIndex(), 0);
    for (QAbstractButton* button : buttons_.buttons())
        button->setFocusPolicy(buttons_.id(button) == tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

void OfficeRadioGroup::setItemIndex(int index)
{
    if (QAbstractButton* button = buttons_.button(index)) {
        button->setChecked(true);
        return;
    }
    if (QAbstractButton* checked = buttons_.checkedButton()) {
        buttons_.setExclusive(false);
        checked->setChecked(false);
        buttons_.setExclusive(true);
    }
}

int OfficeRadioGroup::count() const
{
    return static_cast<int>(buttons_.buttons().size());
}

QString OfficeRadioGroup::itemText(int index) const
{
    const QAbstractButton* button = buttons_.button(index);
    return button ? button->text() : QString();
}

QRadioButton* OfficeRadioGroup::item(int index) const
{
    return qobject_cast<QRadioButton*>(buttons_.button(index));
}

} // namespace ui
