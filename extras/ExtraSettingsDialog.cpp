#include "extras/ExtraSettingsDialog.h"

#include "platform/DialogBuilder.h"

#include <QCheckBox>

ExtraSettingsDialog::ExtraSettingsDialog(QWidget* parent)
    : QDialog(parent)
{
    DialogBuilder::Build(this, resources::ids::kExtraSettingsDialog);
    box_ = qobject_cast<QCheckBox*>(DialogBuilder::Control(this, IDC_HIDE_AT_START));
    DialogBuilder::ConnectOkCancel(this);
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
