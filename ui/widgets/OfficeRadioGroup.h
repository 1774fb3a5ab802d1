#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QRadioButton;

namespace ui {

// A captioned group of radio buttons addressed by item index, -1 when none is selected.
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
    QButtonGroup buttons_;
};

} // namespace ui
