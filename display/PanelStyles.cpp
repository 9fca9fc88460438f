#include "display/PanelStyles.h"

#include "display/ColoursDialog.h"
#include "display/FontsDialog.h"
#include "display/ValuePanel.h"
#include "resources/CommandIds.h"

PanelStyles::PanelStyles(
    QWidget* owner, ValuePanel& temperature, ValuePanel& humidity, ValuePanel& pressure)
    : owner_(owner)
    , temperature_(temperature)
    , humidity_(humidity)
    , pressure_(pressure)
{
}

bool PanelStyles::OnCommand(int id)
{
    switch (id) {
    case ids::ID_COLOURS:
        RunColoursDialog();
        return true;
    case ids::ID_FONTS:
        RunFontsDialog();
        return true;
    default:
        return false;
    }
}

void PanelStyles::RunColoursDialog()
{
    ColoursDialog dialog(temperature_, humidity_, pressure_, owner_);
    ValuePanel* const panels[] = { &temperature_, &humidity_, &pressure_ };
    struct Colours {
        unsigned background;
        unsigned text;
    } before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = { panels[i]->backgroundColour(), panels[i]->textColour() };
    if (dialog.exec() == QDialog::Accepted)
        return;
    for (int i = 0; i < 3; ++i) {
        panels[i]->SetBackgroundColour(before[i].background);
        panels[i]->SetTextColour(before[i].text);
        panels[i]->repaint();
    }
}

void PanelStyles::RunFontsDialog()
{
    FontsDialog dialog(temperature_, humidity_, pressure_, owner_);
    ValuePanel* const panels[] = { &temperature_, &humidity_, &pressure_ };
    // Whole descriptions: the fields the settings do not keep come back too.
    const FontDescription before[] = { temperature_.valueFontDescription(),
        humidity_.valueFontDescription(), pressure_.valueFontDescription() };
    if (dialog.exec() == QDialog::Accepted)
        return;
    for (int i = 0; i < 3; ++i)
        panels[i]->ApplyFont(before[i]);
}
