#include "platform/Choosers.h"

#include "platform/FontMapping.h"

#include <QColorDialog>
#include <QFontDialog>

namespace {

class ModalChoosers : public Choosers {
public:
    bool ChooseColour(QWidget* parent, unsigned& colour) override
    {
        const QColor c = QColorDialog::getColor(ToQColor(colour), parent);
        if (!c.isValid())
            return false;
        colour = FromQColor(c);
        return true;
    }
    bool ChooseFont(QWidget* parent, FontDescription& font) override
    {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(
            &ok, ToQFont(font), parent, QString(), QFontDialog::ScalableFonts);
        if (!ok)
            return false;
        // No effects are offered: underline and strike-out stay as they were.
        font = FromQFont(chosen, font);
        return true;
    }
};

ModalChoosers g_modal;
Choosers* g_current = &g_modal;

} // namespace

Choosers& Choosers::Instance()
{
    return *g_current;
}

Choosers* Choosers::Install(Choosers* choosers)
{
    Choosers* previous = g_current;
    g_current = choosers != nullptr ? choosers : &g_modal;
    return previous;
}
