#pragma once

#include "dde/DdeServer.h"
#include "device/DeviceLink.h"
#include "recording/RecordingState.h"
#include "settings/SettingsTable.h"

#include <QDialog>
#include <QHash>

#include <memory>

class AlarmControl;
class AuxiliaryWindows;
class DdeStartRule;
class PortControl;
class QAction;
class QLineEdit;
class QMenuBar;
class RecordingControl;
class MqttPublisher;
class PanelStyles;
class TerminationSignals;
class ValuePanel;
class WindowPlacement;
class WindowTimers;

// The program's only window: builds its parts (the port, the link, the bus
// service, recording, the styling dialogs, the auxiliary windows), runs the
// link reaction on the three value panels and hands every timer and menu
// command to the part that owns it.
class MainDialog : public QDialog, private LinkTimer {
    Q_OBJECT
public:
    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    // The start-up sequence, then the modal run.
    int exec() override;

    void OnByteReceived(std::uint8_t byte) { link_.OnByteReceived(byte); }
    void UpdateLinkState(bool good) { link_.UpdateLinkState(good); }
    void OnLinkUpdate(bool good, bool changed);
    void UpdateStatusLine();
    void OnTimer(unsigned id);
    void OnCommand(int id);
    // SIGTERM/SIGINT: end as the close box does, cancelling open dialogs.
    void OnTerminationRequest();

    // Persistent settings, read and written by the start-up routine (the
    // port's number is the port control's).
    bool topmost = false;
    WindowRect savedRect { 100, 100, 700, 500 }; // screen pixels, right and bottom exclusive
    int showPromotionAtStart = 1;
    RecordingState recording;
    ValuePanel& temperaturePanel() const { return *temperature_; }
    ValuePanel& humidityPanel() const { return *humidity_; }
    ValuePanel& pressurePanel() const { return *pressure_; }

    // What tests and the start-up routine look at.
    const DeviceLink& link() const { return link_; }
    DdeServer& ddeServer() { return dde_; }
    QString statusText() const;
    PortControl& portControl() const { return *portControl_; }
    QAction* menuAction(int id) const { return actions_.value(id); }
    WindowTimers& timers() const { return *timers_; }
    RecordingControl& recordingControl() const { return *recordingControl_; }
    AuxiliaryWindows& auxiliaryWindows() const { return *aux_; }
    MqttPublisher& mqtt() const { return *mqtt_; }
    WindowPlacement& placement() const { return *placement_; }
    AlarmControl& alarms() const { return *alarms_; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    void OnInitDialog();
    // The layout rule for a resize of the client area.
    void OnSize(int type, int cx, int cy);
    // The alarms' state reaches the panels, the menu, the bus and the broker.
    void OnAlarmsChanged();
    unsigned Arm(unsigned id, unsigned periodMs) override;
    void Kill(unsigned timerId) override;

    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    QLineEdit* status_ = nullptr;
    ValuePanel* temperature_ = nullptr;
    ValuePanel* humidity_ = nullptr;
    ValuePanel* pressure_ = nullptr;
    QHash<int, QAction*> actions_;
    WindowTimers* timers_ = nullptr;
    TerminationSignals* termination_ = nullptr;

    DeviceLink link_;
    DdeServer dde_;
    std::unique_ptr<DdeStartRule> ddeStart_;
    class RecordingLink;
    std::unique_ptr<RecordingLink> recordingLink_;
    std::unique_ptr<RecordingControl> recordingControl_;
    std::unique_ptr<PanelStyles> styles_;
    std::unique_ptr<AuxiliaryWindows> aux_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<WindowPlacement> placement_;
    std::unique_ptr<PortControl> portControl_;
    std::unique_ptr<AlarmControl> alarms_;

    QString lastStatusText_;
    bool maximised_ = false;
    QSize restoredSize_;
    QSize maximisedSize_;
    bool initialising_ = true;
    int statusHeight_ = 0;
    bool promotionOpen_ = false;
    bool quitting_ = false;
};
