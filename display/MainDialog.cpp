#include "display/MainDialog.h"

#include "dde/PanelSource.h"
#include "device/PortEnumerator.h"
#include "device/SerialPort.h"
#include "display/MainLayout.h"
#include "display/PanelStyles.h"
#include "display/StatusLine.h"
#include "display/ValuePanel.h"
#include "display/WindowPlacement.h"
#include "extras/AuxiliaryWindows.h"
#include "mqtt/MqttPublisher.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "platform/SerialByteBridge.h"
#include "platform/TerminationSignals.h"
#include "platform/WindowTimers.h"
#include "recording/RecordingControl.h"
#include "resources/DialogTemplates.h"
#include "resources/MainWindowTexts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>

namespace {

constexpr int kUnitCelsius = 3;
constexpr int kUnitHectopascal = 5;
constexpr int kUnitPercent = 7;
constexpr int kSizeRestored = 0;
constexpr int kSizeMinimised = 1;
constexpr int kSizeMaximised = 2;

QString utf8(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

// The link's watchdog runs on the window's timers.
class MainDialog::Timer : public LinkTimer {
public:
    explicit Timer(MainDialog& owner)
        : owner_(owner)
    {
    }
    unsigned Arm(unsigned id, unsigned periodMs) override
    {
        return owner_.timers().SetTimer(id, periodMs);
    }
    void Kill(unsigned timerId) override { owner_.timers().KillTimer(timerId); }

private:
    MainDialog& owner_;
};

// What the bus service reads of a panel.
class MainDialog::PanelReadout : public PanelSource {
public:
    explicit PanelReadout(const ValuePanel& panel)
        : panel_(panel)
    {
    }
    PanelReading reading() const override
    {
        PanelReading r;
        r.rawValue = panel_.rawValue();
        r.noValue = panel_.noValue();
        r.blinking = panel_.blinking();
        r.displayUnit = panel_.displayUnit();
        return r;
    }

private:
    const ValuePanel& panel_;
};

// What the recording control reads and asks of the window.
class MainDialog::RecordingLink : public RecordingHost {
public:
    explicit RecordingLink(MainDialog& owner)
        : owner_(owner)
    {
    }
    Readings CurrentReadings() const override
    {
        auto quantity = [](const ValuePanel& p) {
            // Valid for recording: a value shown and not blinking.
            return RecordedQuantity { p.rawValue(), PanelReadout(p).reading().valid() };
        };
        Readings r;
        r.serialNumber = owner_.link_.measurement().serialNumber;
        r.temperature = quantity(*owner_.temperature_);
        r.humidity = quantity(*owner_.humidity_);
        r.pressure = quantity(*owner_.pressure_);
        return r;
    }
    void UpdateStatusLine() override { owner_.UpdateStatusLine(); }
    void EnableRecordingCommand() override
    {
        if (QAction* a = owner_.actions_.value(ID_RECORDING))
            a->setEnabled(true);
    }
    WindowTimers& Timers() override { return owner_.timers(); }
    QWidget* Window() override { return &owner_; }

private:
    MainDialog& owner_;
};

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent)
    , timers_(new WindowTimers([this](unsigned id) { OnTimer(id); }, this))
    , linkTimer_(std::make_unique<Timer>(*this))
    , link_(*linkTimer_)
    , bridge_(std::make_unique<SerialByteBridge>(
          [this](std::uint8_t b) { OnByteReceived(b); }, [this] { OnPortLost(); }))
    , enumerate_([](unsigned& count, std::string& text) { return EnumeratePorts(count, text); })
{
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    actions_ = DialogBuilder::BuildMenu(
        menuBar_, resources::ids::kMainMenu, [this](int id) { OnCommand(id); });
    if (QAction* top = actions_.value(ID_TOPMOST))
        top->setCheckable(true);
    placement_ = std::make_unique<WindowPlacement>(
        *this, *menuBar_, actions_.value(ID_TOPMOST), savedRect, topmost);

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
        status_->setAccessibleName(utf8(texts::main::kStatusLineName));
    const int menuHeight = menuBar_->sizeHint().height();
    resize(client_->width(), client_->height() + menuHeight);

    // Panel colours of this window.
    temperature_->SetBackgroundColour(16770250);
    temperature_->SetTextColour(8404992);
    humidity_->SetBackgroundColour(16767672);
    humidity_->SetTextColour(6566400);
    pressure_->SetBackgroundColour(16765092);
    pressure_->SetTextColour(4727808);

    readouts_[0] = std::make_unique<PanelReadout>(*temperature_);
    readouts_[1] = std::make_unique<PanelReadout>(*humidity_);
    readouts_[2] = std::make_unique<PanelReadout>(*pressure_);
    recordingLink_ = std::make_unique<RecordingLink>(*this);
    recordingControl_ = std::make_unique<RecordingControl>(recording, *recordingLink_);
    styles_ = std::make_unique<PanelStyles>(this, *temperature_, *humidity_, *pressure_);
    aux_ = std::make_unique<AuxiliaryWindows>(this, *timers_, showPromotionAtStart, promotionOpen_,
        [this] { return recordingControl_->recordedFile(); });
    mqtt_ = std::make_unique<MqttPublisher>(this);

    link_.SetReaction([this](bool good, bool changed) { OnLinkUpdate(good, changed); });
    qApp->installEventFilter(this);

    termination_ = new TerminationSignals(this);
    connect(termination_, &TerminationSignals::terminationRequested, this,
        &MainDialog::OnTerminationRequest);
}

MainDialog::~MainDialog()
{
    qApp->removeEventFilter(this);
    dde_.Stop();
    port_.reset();
}

int MainDialog::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void MainDialog::OnInitDialog()
{
    AddContextMenu();
    setWindowIcon(DialogBuilder::Image(resources::ids::kIcon));

    // Recording's command waits for the start of recording, 10 s from now.
    for (int id : { ID_RECORDING }) {
        if (QAction* a = actions_.value(id))
            a->setEnabled(false);
    }

    if (portNumber > 0) {
        if (!OpenPort(portNumber)) {
            ShowMessage(this,
                utf8(texts::main::kCannotOpenPort).replace("%d", QString::number(portNumber)));
            RunPortDialog();
        }
    } else {
        RunPortDialog();
    }

    statusHeight_ = status_ != nullptr ? status_->height() : 0;

    temperature_->SetQuantity(kUnitCelsius, kUnitCelsius, true);
    temperature_->SetCaption(utf8(texts::main::kTemperatureCaption));
    humidity_->SetQuantity(kUnitPercent, kUnitPercent, true);
    humidity_->SetCaption(utf8(texts::main::kHumidityCaption));
    pressure_->SetQuantity(kUnitHectopascal, kUnitHectopascal, true);
    pressure_->SetCaption(utf8(texts::main::kPressureCaption));

    for (ValuePanel* p : { temperature_, humidity_, pressure_ })
        p->CreateValueFont();

    initialising_ = false;
    placement_->ShowAtSaved();

    UpdateLinkState(false);

    placement_->ApplySavedTopmost();

    dde_.SetPanels(readouts_[0].get(), readouts_[1].get(), readouts_[2].get());
    timers_->SetTimer(RecordingState::TIMER_RECORD_START, 10000);
    aux_->OnInitDialog();
}

void MainDialog::AddContextMenu()
{
    const std::string_view about = resources::String(resources::ids::kAboutString);
    if (about.empty() || !findChildren<QAction*>(QStringLiteral("about")).isEmpty())
        return;
    // No window-manager menu belongs to the program here: the about item
    // goes into the window's context menu instead.
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* item = new QAction(QString::fromUtf8(about.data(), static_cast<int>(about.size())), this);
    item->setObjectName(QStringLiteral("about"));
    connect(item, &QAction::triggered, this, [this] { OnCommand(IDM_ABOUTBOX); });
    addAction(separator);
    addAction(item);
    setContextMenuPolicy(Qt::ActionsContextMenu);
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

bool MainDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        const bool enterOrEscape = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
            || key->key() == Qt::Key_Escape;
        if (enterOrEscape && w != nullptr && w->window() == this) {
            // Neither key closes the window; the focus goes to the window itself.
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
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
    ++layoutCount_;
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
        dde_.Stop();
        if (good && m.serialNumber > 0 && !dde_.Start(m.serialNumber) && !ddeErrorShown_) {
            // Once a run: without a bus the box would return with every frame
            // that brings the link back. Later link-ups retry silently.
            ddeErrorShown_ = true;
            // Opened after this reaction: a box inside it would hold the byte
            // being handled, and with it the meter's frames, the panels and
            // the recorded rows, until someone answers it.
            QTimer::singleShot(0, this, [this] {
                ShowMessage(this, utf8(texts::main::kDdeInitError), MessageBox::Icon::Error);
            });
        }
        ddeTried_.start();
    } else if (good && m.serialNumber > 0 && !dde_.isRunning()
        && (!ddeTried_.isValid() || ddeTried_.hasExpired(kDdeRetryMs))) {
        // A bus that was missing when the link came up (or a name another
        // program held) is tried again quietly while the meter keeps sending.
        dde_.Start(m.serialNumber);
        ddeTried_.start();
    }
    UpdateStatusLine();
    if (good) {
        temperature_->SetBlinking(m.temperatureError || m.calibrationError);
        temperature_->SetValue(m.temperature);
        humidity_->SetBlinking(m.humidityError || m.calibrationError);
        humidity_->SetValue(m.humidity);
        pressure_->SetBlinking(m.pressureError || m.calibrationError);
        pressure_->SetValue(m.pressure);
    } else {
        for (ValuePanel* p : { temperature_, humidity_, pressure_ }) {
            p->SetNoValue();
            p->SetBlinking(true);
        }
    }
    dde_.NotifyAll();
    mqtt_->OnFrame(good, m.serialNumber,
        { readouts_[0]->reading(), readouts_[1]->reading(), readouts_[2]->reading() });
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
    const QString text = QString::fromStdString(BuildStatusLine(in));
    if (text == lastStatusText_)
        return;
    lastStatusText_ = text;
    status_->setText(text);
    status_->setCursorPosition(0);
    temperature_->setFocus(Qt::OtherFocusReason);
}

QString MainDialog::statusText() const
{
    return status_ != nullptr ? status_->text() : QString();
}

bool MainDialog::OpenPort(int number)
{
    auto port = std::make_unique<SerialPort>();
    if (!port->Open(bridge_.get(), number, 300, 'N', 7, 1, SerialPort::EV_RXCHAR))
        return false;
    port->StartMonitoring();
    port_ = std::move(port);
    portLost_ = false;
    timers_->KillTimer(TIMER_PORT_REOPEN);
    return true;
}

void MainDialog::DeleteSerialPort()
{
    port_.reset();
    portLost_ = false;
    timers_->KillTimer(TIMER_PORT_REOPEN);
}

void MainDialog::OnPortLost()
{
    // The device went away (a USB adapter pulled, the line closed): keep the
    // port number and try the same port again until it is back.
    portLost_ = true;
    timers_->SetTimer(TIMER_PORT_REOPEN, kPortReopenMs);
}

void MainDialog::ReopenLostPort()
{
    if (!portLost_ || portNumber <= 0) {
        timers_->KillTimer(TIMER_PORT_REOPEN);
        return;
    }
    port_.reset();
    OpenPort(portNumber);
}

void MainDialog::RunPortDialog()
{
    if (quitting_)
        return;
    if (!isVisible()) {
        timers_->SetTimer(TIMER_PORT_DIALOG, 500);
        return;
    }
    const int open = port_ != nullptr ? port_->portNumber() : 0;
    PortDialog dialog(open, enumerate_, this);
    if (dialog.exec() != QDialog::Accepted || quitting_)
        return;
    const int chosen = dialog.portNumber();
    if (chosen <= 0 || chosen == open)
        return;
    DeleteSerialPort();
    if (OpenPort(chosen)) {
        portNumber = chosen;
        return;
    }
    portNumber = 0;
    ShowMessage(this, utf8(texts::main::kCannotOpenPort).replace("%d", QString::number(chosen)));
    RunPortDialog();
}

void MainDialog::ToggleTopmost()
{
    placement_->ToggleTopmost();
}

void MainDialog::OnTimer(unsigned id)
{
    switch (id) {
    case DeviceLink::TIMER_LINK_WATCHDOG:
        link_.OnWatchdogExpired();
        break;
    case RecordingState::TIMER_RECORD:
    case RecordingState::TIMER_RECORD_START:
        recordingControl_->OnTimer(id);
        break;
    case TIMER_PORT_DIALOG:
        if (promotionOpen_)
            break;
        timers_->KillTimer(id);
        RunPortDialog();
        break;
    case TIMER_PORT_REOPEN:
        ReopenLostPort();
        break;
    default:
        aux_->OnTimer(id);
        break;
    }
}

void MainDialog::OnCommand(int id)
{
    switch (id) {
    case ID_CLOSE:
        accept();
        break;
    case ID_TOPMOST:
        ToggleTopmost();
        break;
    case ID_SERIAL_PORT:
        RunPortDialog();
        break;
    case ID_RECORDING:
        recordingControl_->OnRecordingSettings();
        break;
    case ID_MQTT:
        mqtt_->RunDialog();
        break;
    case ID_COLOURS:
    case ID_FONTS:
        styles_->OnCommand(id);
        break;
    default:
        aux_->OnCommand(id);
        break;
    }
}

void MainDialog::OnTerminationRequest()
{
    quitting_ = true;
    // Every open dialog or box ends as if cancelled, innermost first, and a
    // dialog still being prepared (the port dialog behind its wait dialog)
    // never opens; the window then ends like its close box, so the settings
    // are saved.
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d != nullptr && d != this && (d->isVisible() || d->isModal()))
            d->reject();
    }
    QTimer::singleShot(10, this, [this] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this) {
            OnTerminationRequest();
            return;
        }
        reject();
    });
}

void MainDialog::done(int result)
{
    // The window's end: the bus service goes with it. The rectangle is taken
    // once more, now that no move or resize is under way.
    if (isVisible())
        placement_->Remember();
    dde_.Stop();
    mqtt_->Shutdown();
    timers_->KillTimer(DeviceLink::TIMER_LINK_WATCHDOG);
    aux_->OnClose();
    QDialog::done(result);
}
