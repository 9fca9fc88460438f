#pragma once

#include <QAbstractButton>

// A static control that shows its text in a panel's value font at full
// size, clipped by its rectangle, and reports clicks.
class FontPreview : public QAbstractButton {
    Q_OBJECT
public:
    explicit FontPreview(const QString& text, Qt::Alignment alignment, QWidget* parent = nullptr);

    // Takes the font and repaints now.
    void SetPreviewFont(const QFont& font);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Alignment alignment_;
};
