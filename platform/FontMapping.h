#pragma once

#include "common/FontDescription.h"

#include <QColor>
#include <QFont>

// Between the settings' descriptions and Qt's fonts and colours.
QFont ToQFont(const FontDescription& description);
// Keeps the fields Qt does not know (character set, precisions) from `base`.
FontDescription FromQFont(const QFont& font, const FontDescription& base);

QColor ToQColor(unsigned colour);
unsigned FromQColor(const QColor& colour);
