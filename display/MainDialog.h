#pragma once

#include "dde/DdeServer.h"
#include "device/DeviceLink.h"
#include "device/PortDialog.h"
#include "recording/RecordingState.h"
#include "settings/SettingsTable.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>

#include <memory>

class AuxiliaryWindows;
class QAction;
class QLineEdit;
class QMenuBar;
class RecordingControl;
class MqttPublisher;
class PanelStyles;
class SerialByteBridge;
class SerialPort;
class TerminationSignals;
class ValuePanel;
class WindowPlacement;
class WindowTimers;

// The program's only window: owns the serial port, the link, the bus
// service and the three value panels, and reacts to every frame.
class MainDialog : public QDialog {
    Q_OBJECT
public:
    // How often a link that stays up tries again to start the bus service.
    static constexpr qint64 kDdeRetryMs = 2000;
    static constexpr unsigned TIMER_PORT_DIALOG = 1069;
    static constexpr unsigned TIMER_PROMOTION = 1070;
    // Reopens a port whose device went away (a USB adapter pulled).
    static constexpr unsigned TIMER_PORT_REOPEN = 1071;
    static constexpr unsigned kPortReopenMs = 2000;

    // Menu command ids.
    enum Command {
        ID_RUN_PLOTAN = 32795,
        ID_CLOSE = 32783,
        ID_COLOURS = 32780,
        ID_FONTS = 32781,
        ID_TOPMOST = 32772,
        ID_SERIAL_PORT = 32771,
        ID_RECORDING = 32773,
        ID_MORE_SETTINGS = 32796,
        ID_MQTT = 32810,
        ID_HELP = 32778,
        ID_PROMOTION = 32797,
        ID_ABOUT = 32779,
        IDM_ABOUTBOX = 16,
    };

    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    // The start-up sequence, then the modal run.
    int exec() override;

    // Seams for tests: how ports are listed for the port dialog.
    void SetPortEnumerator(PortDialog::Enumerator enumerate) { enumerate_ = std::move(enumerate); }

    void OnByteReceived(std::uint8_t byte) { link_.OnByteReceived(byte); }
    void UpdateLinkState(bool good) { link_.UpdateLinkState(good); }
    void OnLinkUpdate(bool good, bool changed);
    void UpdateStatusLine();
    void RunPortDialog();
    void ToggleTopmost();
    void OnTimer(unsigned id);
    void OnCommand(int id);
    // SIGTERM/SIGINT: end as the close box does, cancelling open dialogs.
    void OnTerminationRequest();

    // Persistent settings, read and written by the start-up routine.
    int portNumber = 0;
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
    SerialPort* serialPort() const { return port_.get(); }
    void DeleteSerialPort();
    QAction* menuAction(int id) const { return actions_.value(id); }
    WindowTimers& timers() const { return *timers_; }
    RecordingControl& recordingControl() const { return *recordingControl_; }
    AuxiliaryWindows& auxiliaryWindows() const { return *aux_; }
    MqttPublisher& mqtt() const { return *mqtt_; }
    WindowPlacement& placement() const { return *placement_; }
    int layoutCount() const { return layoutCount_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    void OnInitDialog();
    // The layout rule for a resize of the client area.
    void OnSize(int type, int cx, int cy);
    bool OpenPort(int number);
    void OnPortLost();
    void ReopenLostPort();
    void AddContextMenu();

    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    QLineEdit* status_ = nullptr;
    ValuePanel* temperature_ = nullptr;
    ValuePanel* humidity_ = nullptr;
    ValuePanel* pressure_ = nullptr;
    QHash<int, QAction*> actions_;
    WindowTimers* timers_ = nullptr;
    TerminationSignals* termination_ = nullptr;

    class Timer;
    std::unique_ptr<Timer> linkTimer_;
    DeviceLink link_;
    DdeServer dde_;
    class PanelReadout;
    std::unique_ptr<PanelReadout> readouts_[3];
    class RecordingLink;
    std::unique_ptr<RecordingLink> recordingLink_;
    std::unique_ptr<RecordingControl> recordingControl_;
    std::unique_ptr<PanelStyles> styles_;
    std::unique_ptr<AuxiliaryWindows> aux_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<WindowPlacement> placement_;
    // Declared before the port: the port must go first.
    std::unique_ptr<SerialByteBridge> bridge_;
    std::unique_ptr<SerialPort> port_;
    PortDialog::Enumerator enumerate_;

    QString lastStatusText_;
    bool maximised_ = false;
    QSize restoredSize_;
    QSize maximisedSize_;
    bool initialising_ = true;
    int statusHeight_ = 0;
    bool promotionOpen_ = false;
    bool ddeErrorShown_ = false;
    // Since the last start of the bus service was tried.
    QElapsedTimer ddeTried_;
    bool portLost_ = false;
    bool quitting_ = false;
    int layoutCount_ = 0;
};
