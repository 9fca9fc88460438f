#pragma once

#include "mqtt/MqttSettings.h"

#include <QDialog>

class QAbstractButton;
class QLabel;
class QLineEdit;

// "Publikowanie MQTT": edits the broker settings and shows the state of the
// connection while it is open. The caller takes the settings over after OK.
class MqttDialog : public QDialog {
    Q_OBJECT
public:
    explicit MqttDialog(const MqttSettings& settings, QWidget* parent = nullptr);

    const MqttSettings& settings() const { return settings_; }
    void SetStateText(const QString& text);

private:
    void OnOk();
    void UpdateEnables();

    MqttSettings settings_;
    QAbstractButton* enabled_ = nullptr;
    QLineEdit* host_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* clientId_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QAbstractButton* tls_ = nullptr;
    QLineEdit* caFile_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QAbstractButton* discovery_ = nullptr;
    QLineEdit* discoveryPrefix_ = nullptr;
    QLabel* state_ = nullptr;
};
