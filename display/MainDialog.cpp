#include "display/MainDialog.h"

#include "alarms/AlarmControl.h"
#include "dde/DdeStartRule.h"
#include "device/PortControl.h"
#include "display/MainLayout.h"
#include "display/PanelStyles.h"
#include "display/PanelValues.h"
#include "display/StatusLine.h"
#include "display/ValuePanel.h"
#include "display/WindowKeys.h"
#include "display/WindowPlacement.h"
#include "extras/AuxiliaryWindows.h"
#include "mqtt/MqttPublisher.h"
#include "platform/DialogBuilder.h"
#include "platform/TerminationSignals.h"
#include "platform/WindowTimers.h"
#include "recording/RecordingControl.h"
#include "resources/CommandIds.h"
#include "resources/DialogTemplates.h"
#include "resources/MainWindowTexts.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>

namespace {

constexpr int kUnitCelsius = 3;
constexpr int kUnitHectopascal = 5;
constexpr int kUnitPercent = 7;
constexpr int kSizeRestored = 0;
constexpr int kSizeMinimised = 1;
constexpr int kSizeMaximised = 2;

} // namespace

// What the recording control reads and asks of the window.
class MainDialog::RecordingLink : public RecordingHost {
public:
    explicit RecordingLink(MainDialog& owner)
        : owner_(owner)
    {
    }
    Readings currentReadings() const override
    {
        auto quantity = [](const ValuePanel& p) {
            return RecordedQuantity { p.rawValue(), p.reading().valid() };
        };
        return { owner_.link_.measurement().serialNumber, quantity(*owner_.temperature_),
            quantity(*owner_.humidity_), quantity(*owner_.pressure_) };
    }
    void UpdateStatusLine() override { owner_.UpdateStatusLine(); }
    void EnableRecordingCommand() override
    {
        if (QAction* a = owner_.actions_.value(ids::ID_RECORDING))
            a->setEnabled(true);
    }
    WindowTimers& timers() override { return owner_.timers(); }
    QWidget* window() override { return &owner_; }

private:
    MainDialog& owner_;
};

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent)
    , timers_(new WindowTimers([this](unsigned id) { OnTimer(id); }, this))
    , link_(*this)
    , ddeStart_(std::make_unique<DdeStartRule>(dde_, this))
    , portControl_(std::make_unique<PortControl>(PortControl::Window { this, *timers_,
          [this](std::uint8_t b) { OnByteReceived(b); }, promotionOpen_, quitting_ }))
{
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    actions_ = DialogBuilder::BuildMenu(
        menuBar_, resources::ids::kMainMenu, [this](int id) { OnCommand(id); });
    if (QAction* top = actions_.value(ids::ID_TOPMOST))
        top->setCheckable(true);
    placement_ = std::make_unique<WindowPlacement>(
        *this, *menuBar_, actions_.value(ids::ID_TOPMOST), savedRect, topmost);

    client_ = new QWidget(this);
    DialogBuilder::Build(client_, resources::ids::kMainDialog,
        [](const resources::ControlTemplate& c, QWidget* parent) -> QWidget* {
            if (c.id == 1003 || c.id == 1005 || c.id == 1007)
                return new ValuePanel(parent);
            return nullptr;
        });
    setWindowTitle(QStringLiteral("QM482"));
    setFont(client_->font());
    status_ = qobject_cast<QLineEdit*>(DialogBuilder::Control(client_, 1002));
    temperature_ = qobject_cast<ValuePanel*>(DialogBuilder::Control(client_, 1003));
    pressure_ = qobject_cast<ValuePanel*>(DialogBuilder::Control(client_, 1005));
    humidity_ = qobject_cast<ValuePanel*>(DialogBuilder::Control(client_, 1007));
    if (status_ != nullptr)
        status_->setAccessibleName(QString::fromUtf8(texts::main::kStatusLineName));
    const int menuHeight = menuBar_->sizeHint().height();
    resize(client_->width(), client_->height() + menuHeight);

    // Each panel's colours until the settings say otherwise.
    for (auto [panel, background] : { std::pair { temperature_, SettingId::BACKGROUND_TEMP },
             { humidity_, SettingId::BACKGROUND_RH },
             { pressure_, SettingId::BACKGROUND_PRESSURE } }) {
        panel->SetBackgroundColour(DefaultUnsigned(background));
        panel->SetTextColour(DefaultUnsigned(background + 1));
    }
    recordingLink_ = std::make_unique<RecordingLink>(*this);
    recordingControl_ = std::make_unique<RecordingControl>(recording, *recordingLink_);
    styles_ = std::make_unique<PanelStyles>(this, *temperature_, *humidity_, *pressure_);
    aux_ = std::make_unique<AuxiliaryWindows>(this, *timers_, showPromotionAtStart, promotionOpen_,
        [this] { return recordingControl_->recordedFile(); });
    mqtt_ = std::make_unique<MqttPublisher>(this);
    alarms_ = std::make_unique<AlarmControl>(
        this, *timers_, MakeDesktopAlarmOutputs(this, [this] { alarms_->Acknowledge(); }));
    connect(alarms_.get(), &AlarmControl::changed, this, &MainDialog::OnAlarmsChanged);
    for (ValuePanel* panel : { temperature_, humidity_, pressure_ }) {
        connect(panel, &ValuePanel::clicked, this, [this, panel] {
            if (!panel->alarm().isEmpty())
                alarms_->Acknowledge();
        });
    }

    link_.SetReaction([this](bool good, bool changed) { OnLinkUpdate(good, changed); });
    new WindowKeys(*this);

    termination_ = new TerminationSignals(this);
    connect(termination_, &TerminationSignals::terminationRequested, this,
        &MainDialog::OnTerminationRequest);
}

// The link's watchdog runs on the window's timers.
unsigned MainDialog::Arm(unsigned id, unsigned periodMs)
{
    return timers_->SetTimer(id, periodMs);
}

void MainDialog::Kill(unsigned timerId)
{
    timers_->KillTimer(timerId);
}

MainDialog::~MainDialog()
{
    dde_.Stop();
    portControl_->DeleteSerialPort();
}

int MainDialog::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void MainDialog::OnInitDialog()
{
    aux_->AddContextMenu();
    setWindowIcon(DialogBuilder::Image(resources::ids::kIcon));

    // Recording's command waits for the start of recording, 10 s from now;
    // acknowledging, for an alarm.
    for (int id : { ids::ID_RECORDING, ids::ID_ACKNOWLEDGE_ALARMS }) {
        if (QAction* a = actions_.value(id))
            a->setEnabled(false);
    }

    portControl_->OpenSavedPort();

    statusHeight_ = status_ != nullptr ? status_->height() : 0;

    for (auto [panel, unit, caption] :
        { std::tuple { temperature_, kUnitCelsius, texts::main::kTemperatureCaption },
            { humidity_, kUnitPercent, texts::main::kHumidityCaption },
            { pressure_, kUnitHectopascal, texts::main::kPressureCaption } }) {
        panel->SetQuantity(unit, unit, true);
        panel->SetCaption(QString::fromUtf8(caption));
        panel->CreateValueFont();
    }

    initialising_ = false;
    placement_->ShowAtSaved();

    UpdateLinkState(false);

    placement_->ApplySavedTopmost();

    dde_.SetPanels(temperature_, humidity_, pressure_);
    alarms_->Start();
    timers_->SetTimer(ids::TIMER_RECORD_START, 10000);
    aux_->OnInitDialog();
}

void MainDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int menuHeight = menuBar_->sizeHint().height();
    const int clientHeight = std::max(height() - menuHeight, 0);
    menuBar_->setGeometry(0, 0, width(), menuHeight);
    client_->setGeometry(0, menuHeight, width(), clientHeight);
    const int type
        = isMinimized() ? kSizeMinimised : (isMaximized() ? kSizeMaximised : kSizeRestored);
    OnSize(type, width(), clientHeight);
}

void MainDialog::OnSize(int type, int cx, int cy)
{
    if (type == kSizeRestored) {
        restoredSize_ = { cx, cy };
        maximised_ = false;
    } else if (type == kSizeMaximised) {
        maximisedSize_ = { cx, cy };
        maximised_ = true;
    } else {
        maximised_ = false;
    }
    if (initialising_)
        return;
    if (type == kSizeRestored && isVisible())
        placement_->Remember();

    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const MainLayout l = ComputeMainLayout(cx, cy, statusHeight_, frame);
    auto place = [](QWidget* w, const LayoutRect& r) {
        if (w != nullptr)
            w->setGeometry(r.x, r.y, std::max(r.width, 0), std::max(r.height, 0));
    };
    place(status_, l.status);
    place(temperature_, l.temperature);
    temperature_->repaint();
    place(humidity_, l.humidity);
    humidity_->repaint();
    place(pressure_, l.pressure);
    pressure_->repaint();
}

void MainDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    if (!initialising_ && !isMaximized() && isVisible())
        placement_->Remember();
}

void MainDialog::OnLinkUpdate(bool good, bool changed)
{
    const Measurement& m = link_.measurement();
    if (changed) {
        if (maximised_)
            OnSize(kSizeMaximised, maximisedSize_.width(), maximisedSize_.height());
        else
            OnSize(kSizeRestored, restoredSize_.width(), restoredSize_.height());
    }
    ddeStart_->OnLinkUpdate(good, changed, m.serialNumber);
    alarms_->OnLinkUpdate(good, m);
    UpdateStatusLine();
    const PanelValues shown = ComputePanelValues(good, m);
    temperature_->Show(shown.temperature);
    humidity_->Show(shown.humidity);
    pressure_->Show(shown.pressure);
    dde_.NotifyAll();
    mqtt_->OnFrame(good, m.serialNumber,
        { temperature_->reading(), humidity_->reading(), pressure_->reading() });
}

void MainDialog::UpdateStatusLine()
{
    if (status_ == nullptr)
        return;
    StatusLineInput in;
    in.linkUp = link_.linkState();
    in.measurement = link_.measurement();
    in.recording = recording.recording();
    in.recordingIntervalSeconds = recording.settings.intervalSeconds;
    in.dewPoint = alarms_->dewPointText();
    in.alarms = alarms_->alarmText();
    const QString text = QString::fromStdString(BuildStatusLine(in));
    if (text == lastStatusText_)
        return;
    lastStatusText_ = text;
    status_->setText(text);
    status_->setCursorPosition(0);
    temperature_->setFocus(Qt::OtherFocusReason);
}

void MainDialog::OnAlarmsChanged()
{
    UpdateStatusLine();
    for (auto [panel, index] :
        { std::pair { temperature_, 0 }, { humidity_, 1 }, { pressure_, 2 } })
        panel->SetAlarm(alarms_->panelAlarm(index));
    if (QAction* a = actions_.value(ids::ID_ACKNOWLEDGE_ALARMS))
        a->setEnabled(alarms_->rules().anyUnacknowledged());
    const std::vector<ActiveAlarm> active = alarms_->rules().active();
    std::vector<std::string> names;
    names.reserve(active.size());
    for (const ActiveAlarm& a : active)
        names.emplace_back(AlarmName(a.kind));
    dde_.SetActiveAlarms(std::move(names));
    mqtt_->SetAlarms(alarms_->settings, active);
}

QString MainDialog::statusText() const
{
    return status_ != nullptr ? status_->text() : QString();
}

void MainDialog::OnTimer(unsigned id)
{
    switch (id) {
    case ids::TIMER_LINK_WATCHDOG:
        link_.OnWatchdogExpired();
        break;
    case ids::TIMER_RECORD:
    case ids::TIMER_RECORD_START:
        recordingControl_->OnTimer(id);
        break;
    case ids::TIMER_PORT_DIALOG:
    case ids::TIMER_PORT_REOPEN:
        portControl_->OnTimer(id);
        break;
    case ids::TIMER_ALARM_TICK:
        alarms_->OnTimer(id);
        break;
    default:
        aux_->OnTimer(id);
        break;
    }
}

void MainDialog::OnCommand(int id)
{
    switch (id) {
    case ids::ID_CLOSE:
        accept();
        break;
    case ids::ID_TOPMOST:
        placement_->ToggleTopmost();
        break;
    case ids::ID_SERIAL_PORT:
        portControl_->RunPortDialog();
        break;
    case ids::ID_RECORDING:
        recordingControl_->OnRecordingSettings();
        break;
    case ids::ID_MQTT:
        mqtt_->RunDialog();
        break;
    case ids::ID_ALARMS:
        alarms_->RunDialog();
        break;
    case ids::ID_ACKNOWLEDGE_ALARMS:
        alarms_->Acknowledge();
        break;
    case ids::ID_COLOURS:
    case ids::ID_FONTS:
        styles_->OnCommand(id);
        break;
    default:
        aux_->OnCommand(id);
        break;
    }
}

void MainDialog::OnTerminationRequest()
{
    // Quitting: the port dialog behind its wait dialog never opens.
    quitting_ = true;
    TerminationSignals::EndAsIfClosed(*this);
}

void MainDialog::done(int result)
{
    // The window's end: the bus service goes with it. The rectangle is taken
    // once more, now that no move or resize is under way.
    if (isVisible())
        placement_->Remember();
    dde_.Stop();
    mqtt_->Shutdown();
    alarms_->Shutdown();
    timers_->KillTimer(ids::TIMER_LINK_WATCHDOG);
    aux_->OnClose();
    QDialog::done(result);
}
