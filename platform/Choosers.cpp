#include "platform/Choosers.h"

#include "platform/FontMapping.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>

#include <array>

namespace {

// A chooser opened without an owner belongs to the window in use.
QWidget* ownerOr(QWidget* parent)
{
    return parent != nullptr ? parent : QApplication::activeWindow();
}

class ModalChoosers : public Choosers {
public:
    bool ChooseColour(QWidget* parent, unsigned& colour) override
    {
        // The sixteen custom colours last for the run, shared by every
        // call, and start white at each start: Qt's own dialog would bring
        // back another run's from its settings.
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, custom_[static_cast<std::size_t>(i)]);
        const QColor c = QColorDialog::getColor(
            ToQColor(colour), ownerOr(parent), QString(), QColorDialog::DontUseNativeDialog);
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            custom_[static_cast<std::size_t>(i)] = QColorDialog::customColor(i).rgb();
        if (!c.isValid())
            return false;
        colour = FromQColor(c);
        return true;
    }
    bool ChooseFont(QWidget* parent, FontDescription& font) override
    {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(
            &ok, ToQFont(font), ownerOr(parent), QString(), QFontDialog::ScalableFonts);
        if (!ok)
            return false;
        // No effects are offered: underline and strike-out stay as they were.
        font = FromQFont(chosen, font);
        return true;
    }

private:
    std::array<QRgb, 16> custom_ = [] {
        std::array<QRgb, 16> white {};
        white.fill(qRgb(255, 255, 255));
        return white;
    }();
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
