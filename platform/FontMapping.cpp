#include "platform/FontMapping.h"

#include <QFontInfo>

#include <algorithm>
#include <cmath>

namespace {

// A cell is about 1.15 character heights in the Arial-metric faces.
constexpr double kCellPerPixelSize = 1.15;

} // namespace

QFont ToQFont(const FontDescription& d)
{
    QFont f(QString::fromStdString(d.faceName));
    f.setStyleHint(QFont::SansSerif);
    if (d.height < 0)
        f.setPixelSize(std::max(1, -d.height));
    else if (d.height > 0)
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(d.height / kCellPerPixelSize))));
    if (d.weight > 0)
        f.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 1, 1000)));
    f.setItalic(d.italic != 0);
    f.setUnderline(d.underline != 0);
    f.setStrikeOut(d.strikeOut != 0);
    return f;
}

FontDescription FromQFont(const QFont& font, const FontDescription& base)
{
    FontDescription d = base;
    d.faceName = font.family().toStdString().substr(0, FontDescription::kFaceNameMax);
    const int px = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    d.height = static_cast<int>(std::lround(px * kCellPerPixelSize));
    d.weight = font.weight() == QFont::Normal ? 0 : static_cast<int>(font.weight());
    d.italic = font.italic() ? 1 : 0;
    return d;
}

QColor ToQColor(unsigned c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

unsigned FromQColor(const QColor& c)
{
    return static_cast<unsigned>(c.red()) + 256u * static_cast<unsigned>(c.green())
        + 65536u * static_cast<unsigned>(c.blue());
}
