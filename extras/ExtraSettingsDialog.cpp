#include "extras/ExtraSettingsDialog.h"

#include "platform/DialogBuilder.h"

#include <QCheckBox>
#include <QPushButton>

ExtraSettingsDialog::ExtraSettingsDialog(QWidget* parent)
    : QDialog(parent)
{
    DialogBuilder::Build(this, resources::ids::kExtraSettingsDialog);
    box_ = qobject_cast<QCheckBox*>(DialogBuilder::Control(this, IDC_HIDE_AT_START));
    if (auto* ok = qobject_cast<QPushButton*>(DialogBuilder::Control(this, 1)))
        connect(ok, &QPushButton::clicked, this, &ExtraSettingsDialog::accept);
    if (auto* cancel = qobject_cast<QPushButton*>(DialogBuilder::Control(this, 2)))
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int ExtraSettingsDialog::exec()
{
    if (box_ != nullptr)
        box_->setChecked(hideAtStart != 0);
    return QDialog::exec();
}

void ExtraSettingsDialog::accept()
{
    hideAtStart = box_ != nullptr && box_->isChecked() ? 1 : 0;
    QDialog::accept();
}
