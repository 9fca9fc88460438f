#include "display/ColoursDialog.h"

#include "display/ColourSwatch.h"
#include "display/ValuePanel.h"
#include "platform/DialogBuilder.h"
#include "resources/DialogTemplates.h"

#include <QPushButton>

namespace {

// What a screen reader calls each swatch: its column and its row.
const char* swatchName(int id)
{
    switch (id) {
    case ColoursDialog::IDC_TEMPERATURE_BACKGROUND:
        return "Tło: Temperatura";
    case ColoursDialog::IDC_HUMIDITY_BACKGROUND:
        return "Tło: Wilgotność względna";
    case ColoursDialog::IDC_PRESSURE_BACKGROUND:
        return "Tło: Ciśnienie";
    case ColoursDialog::IDC_TEMPERATURE_TEXT:
        return "Tekst: Temperatura";
    case ColoursDialog::IDC_HUMIDITY_TEXT:
        return "Tekst: Wilgotność względna";
    case ColoursDialog::IDC_PRESSURE_TEXT:
        return "Tekst: Ciśnienie";
    default:
        return "";
    }
}

} // namespace

ColoursDialog::ColoursDialog(
    ValuePanel& temperature, ValuePanel& humidity, ValuePanel& pressure, QWidget* parent)
    : QDialog(parent)
    , rows_ {
        { IDC_TEMPERATURE_BACKGROUND, &temperature, true },
        { IDC_TEMPERATURE_TEXT, &temperature, false },
        { IDC_HUMIDITY_BACKGROUND, &humidity, true },
        { IDC_HUMIDITY_TEXT, &humidity, false },
        { IDC_PRESSURE_BACKGROUND, &pressure, true },
        { IDC_PRESSURE_TEXT, &pressure, false },
    }
{
    DialogBuilder::Build(this, resources::ids::kColoursDialog,
        [](const resources::ControlTemplate& c, QWidget* parent) -> QWidget* {
            if ((c.style & resources::style::kNotify) == 0)
                return nullptr;
            auto* s = new ColourSwatch(parent);
            s->setAccessibleName(QString::fromUtf8(swatchName(c.id)));
            return s;
        });
    setModal(true);
    for (const Row& row : rows_) {
        if (ColourSwatch* s = swatch(row.id))
            connect(s, &ColourSwatch::clicked, this, [this, row] { OnSwatchClicked(row); });
    }
    DialogBuilder::ConnectOkCancel(this);
}

ColourSwatch* ColoursDialog::swatch(int id) const
{
    return qobject_cast<ColourSwatch*>(DialogBuilder::Control(this, id));
}

int ColoursDialog::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void ColoursDialog::OnInitDialog()
{
    for (const Row& row : rows_) {
        if (ColourSwatch* s = swatch(row.id))
            s->SetColour(row.background ? row.panel->backgroundColour() : row.panel->textColour());
    }
    if (auto* ok = qobject_cast<QPushButton*>(DialogBuilder::Control(this, 1)))
        ok->setFocus(Qt::OtherFocusReason);
}

void ColoursDialog::OnSwatchClicked(const Row& row)
{
    ValuePanel& panel = *row.panel;
    if (row.background)
        panel.ChooseBackgroundColour();
    else
        panel.ChooseTextColour();
    if (ColourSwatch* s = swatch(row.id))
        s->SetColour(row.background ? panel.backgroundColour() : panel.textColour());
}
