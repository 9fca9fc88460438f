#pragma once

#include <QAbstractButton>

// A static control filled with one colour that reports clicks; the colours
// dialog shows a panel's background or text colour in one.
class ColourSwatch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr unsigned kDefaultColour = 8421504; // 128, 128, 128

    explicit ColourSwatch(QWidget* parent = nullptr);

    unsigned colour() const { return colour_; }
    // Takes the colour and repaints now.
    void SetColour(unsigned colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    unsigned colour_ = kDefaultColour;
};
