#include "display/FontsDialog.h"

#include "display/FontPreview.h"
#include "display/ValuePanel.h"
#include "platform/DialogBuilder.h"
#include "resources/DialogTemplates.h"

#include <QPushButton>

namespace {

const char* previewName(int id)
{
    switch (id) {
    case FontsDialog::IDC_TEMPERATURE_FONT:
        return "Czcionka: Temperatura";
    case FontsDialog::IDC_HUMIDITY_FONT:
        return "Czcionka: Wilgotność względna";
    case FontsDialog::IDC_PRESSURE_FONT:
        return "Czcionka: Ciśnienie";
    default:
        return "";
    }
}

} // namespace

FontsDialog::FontsDialog(
    ValuePanel& temperature, ValuePanel& humidity, ValuePanel& pressure, QWidget* parent)
    : QDialog(parent)
    , rows_ {
        { IDC_TEMPERATURE_FONT, &temperature },
        { IDC_HUMIDITY_FONT, &humidity },
        { IDC_PRESSURE_FONT, &pressure },
    }
{
    DialogBuilder::Build(this, resources::ids::kFontsDialog,
        [](const resources::ControlTemplate& c, QWidget* parent) -> QWidget* {
            using namespace resources;
            if ((c.style & style::kNotify) == 0)
                return nullptr;
            Qt::Alignment a
                = c.kind == ControlKind::StaticCentred ? Qt::AlignHCenter : Qt::AlignLeft;
            a |= (c.style & style::kCentreVertical) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
            auto* p = new FontPreview(
                QString::fromUtf8(c.text.data(), static_cast<int>(c.text.size())), a, parent);
            p->setAccessibleName(QString::fromUtf8(previewName(c.id)));
            return p;
        });
    setModal(true);
    for (const Row& row : rows_) {
        if (FontPreview* p = preview(row.id))
            connect(p, &FontPreview::clicked, this, [this, row] { OnPreviewClicked(row); });
    }
    DialogBuilder::ConnectOkCancel(this);
}

FontPreview* FontsDialog::preview(int id) const
{
    return qobject_cast<FontPreview*>(DialogBuilder::Control(this, id));
}

int FontsDialog::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void FontsDialog::OnInitDialog()
{
    for (const Row& row : rows_) {
        if (FontPreview* p = preview(row.id))
            p->SetPreviewFont(row.panel->valueFont());
    }
    if (auto* ok = qobject_cast<QPushButton*>(DialogBuilder::Control(this, 1)))
        ok->setFocus(Qt::OtherFocusReason);
}

void FontsDialog::OnPreviewClicked(const Row& row)
{
    row.panel->ChooseValueFont();
    if (FontPreview* p = preview(row.id))
        p->SetPreviewFont(row.panel->valueFont());
}
