#pragma once

#include <QString>
#include <QWidget>

namespace ui {

// A one-line rich-text title with a mirrored, fading reflection below it.
class ReflectionLabel : public QWidget {
    Q_OBJECT
public:
    explicit ReflectionLabel(QWidget* parent = nullptr);

    QString markup() const { return markup_; }
    void setMarkup(const QString& markup);

    int reflectionHeight() const { return reflectionHeight_; }
    void setReflectionHeight(int pixels);

    // The text as the label draws it, without the reflection.
    QImage renderText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString markup_;
    int reflectionHeight_ = 20;
};

} // namespace ui
