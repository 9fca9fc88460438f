#include "display/ColourSwatch.h"

#include "platform/FontMapping.h"

#include <QPainter>

ColourSwatch::ColourSwatch(QWidget* parent)
    : QAbstractButton(parent)
{
    // A static control: clicked with the mouse, never focused.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetColour(kDefaultColour);
}

void ColourSwatch::SetColour(unsigned colour)
{
    colour_ = colour;
    // The colour as a screen reader (and a test from outside) reads it.
    setAccessibleDescription(ToQColor(colour).name());
    repaint();
}

void ColourSwatch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ToQColor(colour_));
}
