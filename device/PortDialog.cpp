#include "device/PortDialog.h"

#include "device/PortChoice.h"
#include "device/WaitDialog.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "resources/DialogTemplates.h"
#include "resources/PortDialogTexts.h"

#include <QComboBox>
#include <QLabel>

PortDialog::PortDialog(int portInUse, Enumerator enumerate, QWidget* parent)
    : QDialog(parent)
    , portNumber_(portInUse)
    , enumerate_(std::move(enumerate))
{
    DialogBuilder::Build(this, resources::ids::kPortDialog);
    setModal(true);
    portList_ = qobject_cast<QComboBox*>(DialogBuilder::Control(this, 1000));
    status_ = qobject_cast<QLabel*>(DialogBuilder::Control(this, 1001));
    DialogBuilder::ConnectOkCancel(this, [this] { OnOk(); });
}

PortDialog::~PortDialog() = default;

int PortDialog::exec()
{
    portLines_.clear();
    endedWhilePreparing_ = false;
    {
        WaitDialog wait(this, parentWidget());
        wait.exec();
    }
    // Ended while the ports were listed (the program is being closed): the
    // dialog does not open at all.
    if (endedWhilePreparing_)
        return QDialog::Rejected;
    OnInitDialog();
    return QDialog::exec();
}

void PortDialog::done(int result)
{
    if (!isVisible())
        endedWhilePreparing_ = true;
    QDialog::done(result);
}

void PortDialog::OnInitDialog()
{
    if (status_ != nullptr)
        status_->setText(QString::fromStdString(port_choice::StatusText(portNumber_)));
    if (portList_ == nullptr)
        return;
    portList_->clear();
    for (const std::string& line : portLines_)
        portList_->addItem(QString::fromStdString(line));
    portList_->setCurrentIndex(port_choice::PreselectedIndex(portLines_, portNumber_));
}

void PortDialog::OnOk()
{
    const QString text = portList_ != nullptr ? portList_->currentText() : QString();
    const int port = port_choice::ChosenPort(text.toStdString());
    if (port <= 0) {
        ShowMessage(this, QString::fromUtf8(texts::port::kNoPortChosen));
        return;
    }
    portNumber_ = port;
    accept();
}
