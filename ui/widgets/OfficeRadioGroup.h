#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QRadioButton;

namespace ui {

// A captioned group of radio buttons addressed by item index, -1 when none is selected. Only the
// selected option is a tab stop; the arrow keys move the selection.
class OfficeRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    OfficeRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int itemIndex() const { return buttons_.checkedId(); }
    void setItemIndex(int index);
    int count() const;
    QString itemText(int index) const;
    QRadioButton* item(int index) const;

private:
    void keepTabStopOnSelection();

    QButtonGroup buttons_;
};

} // namespace ui
