#include "display/FontPreview.h"

#include <QPainter>

FontPreview::FontPreview(const QString& text, Qt::Alignment alignment, QWidget* parent)
    : QAbstractButton(parent)
    , alignment_(alignment)
{
    setText(text);
    setFocusPolicy(Qt::NoFocus);
}

void FontPreview::SetPreviewFont(const QFont& font)
{
    setFont(font);
    repaint();
}

void FontPreview::paintEvent(QPaintEvent*)
{
    // The painter clips to the control: a large font shows only its middle.
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect(), static_cast<int>(alignment_) | Qt::TextSingleLine, text());
}
