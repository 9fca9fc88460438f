#include "mqtt/MqttDialog.h"

#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "resources/DialogTemplates.h"
#include "resources/MqttTexts.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

namespace text = texts::mqtt;

namespace {

template<class T> T* control(const QWidget* dialog, int id)
{
    return qobject_cast<T*>(DialogBuilder::Control(dialog, id));
}

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string s(const QLineEdit* edit)
{
    return edit->text().trimmed().toStdString();
}

} // namespace

MqttDialog::MqttDialog(const MqttSettings& settings, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
{
    DialogBuilder::Build(this, resources::ids::kMqttDialog);
    setModal(true);
    enabled_ = control<QAbstractButton>(this, 1201);
    host_ = control<QLineEdit>(this, 1202);
    port_ = control<QLineEdit>(this, 1203);
    clientId_ = control<QLineEdit>(this, 1204);
    user_ = control<QLineEdit>(this, 1205);
    password_ = control<QLineEdit>(this, 1206);
    tls_ = control<QAbstractButton>(this, 1207);
    caFile_ = control<QLineEdit>(this, 1208);
    prefix_ = control<QLineEdit>(this, 1209);
    discovery_ = control<QAbstractButton>(this, 1210);
    discoveryPrefix_ = control<QLineEdit>(this, 1211);
    state_ = control<QLabel>(this, 1212);

    // Each edit is named after its label, for screen readers.
    const std::pair<QLineEdit*, const char*> names[]
        = { { host_, "Serwer" }, { port_, "Port" }, { clientId_, "Identyfikator klienta" },
              { user_, "Użytkownik" }, { password_, "Hasło" }, { caFile_, "Plik CA" },
              { prefix_, "Prefiks tematów" }, { discoveryPrefix_, "Prefiks wykrywania" } };
    for (const auto& [edit, name] : names)
        edit->setAccessibleName(QString::fromUtf8(name));
    password_->setEchoMode(QLineEdit::Password);
    prefix_->setPlaceholderText(QString::fromUtf8(text::kPrefixPlaceholder));
    clientId_->setPlaceholderText(QString::fromUtf8(text::kClientIdPlaceholder));
    caFile_->setPlaceholderText(QString::fromUtf8(text::kCaFilePlaceholder));

    enabled_->setChecked(settings_.enabled);
    host_->setText(q(settings_.host));
    port_->setText(QString::number(settings_.port));
    clientId_->setText(q(settings_.clientId));
    user_->setText(q(settings_.user));
    password_->setText(q(settings_.password));
    tls_->setChecked(settings_.tls);
    caFile_->setText(q(settings_.caFile));
    prefix_->setText(q(settings_.topicPrefix));
    discovery_->setChecked(settings_.discovery);
    discoveryPrefix_->setText(q(settings_.discoveryPrefix));
    UpdateEnables();

    connect(enabled_, &QAbstractButton::clicked, this, &MqttDialog::UpdateEnables);
    connect(tls_, &QAbstractButton::clicked, this, &MqttDialog::UpdateEnables);
    connect(discovery_, &QAbstractButton::clicked, this, &MqttDialog::UpdateEnables);
    DialogBuilder::ConnectOkCancel(this, [this] { OnOk(); });
}

void MqttDialog::SetStateText(const QString& text)
{
    state_->setText(text);
}

void MqttDialog::UpdateEnables()
{
    const bool on = enabled_->isChecked();
    for (int id = 1202; id <= 1211; ++id) {
        if (QWidget* w = DialogBuilder::Control(this, id))
            w->setEnabled(on);
    }
    caFile_->setEnabled(on && tls_->isChecked());
    discoveryPrefix_->setEnabled(on && discovery_->isChecked());
}

void MqttDialog::OnOk()
{
    bool numeric = false;
    const int port = port_->text().trimmed().toInt(&numeric);
    if (enabled_->isChecked()) {
        if (host_->text().trimmed().isEmpty()) {
            ShowMessage(this, QString::fromUtf8(text::kNoHost), MessageBox::Icon::Information);
            host_->setFocus();
            return;
        }
        if (!numeric || port < 1 || port > 65535) {
            ShowMessage(this, QString::fromUtf8(text::kBadPort), MessageBox::Icon::Information);
            port_->setFocus();
            return;
        }
    }
    settings_.configured = true;
    settings_.enabled = enabled_->isChecked();
    settings_.host = s(host_);
    if (numeric && port >= 1 && port <= 65535)
        settings_.port = port;
    settings_.clientId = s(clientId_);
    settings_.user = s(user_);
    settings_.password = password_->text().toStdString(); // spaces may belong to it
    settings_.tls = tls_->isChecked();
    settings_.caFile = s(caFile_);
    settings_.topicPrefix = s(prefix_);
    settings_.discovery = discovery_->isChecked();
    settings_.discoveryPrefix = s(discoveryPrefix_);
    if (settings_.discoveryPrefix.empty())
        settings_.discoveryPrefix = MqttSettings().discoveryPrefix;
    accept();
}
