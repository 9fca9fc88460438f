#include "display/MainDialog.h"
#include "dde/DdeStartRule.h"
#include "device/FrameEncoder.h"
#include "device/PortControl.h"
#include "device/SerialPort.h"
#include "device/WaitDialog.h"
#include "display/ValuePanel.h"
#include "display/WindowPlacement.h"
#include "resources/CommandIds.h"
#include "support/DdeTestClient.h"
#include "support/EventLoop.h"
#include "support/Pty.h"
#include "support/ScriptedMessageBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

namespace {

const QString kBusName = QStringLiteral("org.qm482.QM482");

void feed(MainDialog& d, const Measurement& m)
{
    for (auto b : FrameEncoder::Encode(m))
        d.OnByteReceived(b);
}

Measurement reading(int serial = 4660)
{
    Measurement m;
    m.serialNumber = serial;
    m.temperature = 234 * 0.1;
    m.humidity = 456 * 0.1;
    m.pressure = 10132 * 0.1;
    return m;
}

bool serviceOnBus()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kBusName).value();
}

double processCpuSeconds()
{
    rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Moves a panel out of its place, so that only a layout puts it back; the
// place it had is returned.
QRect displace(ValuePanel& panel)
{
    const QRect placed = panel.geometry();
    panel.setGeometry(0, 0, 10, 10);
    return placed;
}

bool modalIsPortDialog()
{
    return qobject_cast<PortDialog*>(QApplication::activeModalWidget()) != nullptr;
}

// A folder of COMn links of the test's own.
class PortsFolder {
public:
    PortsFolder()
    {
        char tmpl[] = "/tmp/qm482-ports-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        ::setenv("QM482_PORTS_DIR", path_.c_str(), 1);
    }
    ~PortsFolder() { std::filesystem::remove_all(path_); }
    void Link(int port, const std::string& target)
    {
        std::filesystem::create_symlink(target, path_ + "/COM" + std::to_string(port));
    }

private:
    std::string path_;
};

// A window that has run its start-up and is shown, without a modal loop.
class ShownWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The promotion window of the start is tested with the auxiliary windows.
        dialog.showPromotionAtStart = 0;
        dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
            n = 0;
            t.clear();
            return true;
        });
    }
    // Starts the window as the program does and gives the test control
    // inside its modal loop.
    void RunWith(std::function<void()> body)
    {
        when(
            &dialog, [&] { return dialog.isVisible(); },
            [&, body] {
                body();
                if (dialog.isVisible())
                    dialog.reject();
            });
        dialog.exec();
    }

    ScriptedMessageBox boxes;
    PortsFolder ports;
    MainDialog dialog;
};

} // namespace

TEST_F(ShownWindow, FirstGoodFrameLaysOutAndStartsTheServiceASecondDoesNeither)
{
    dialog.portControl().portNumber = 250; // no such device: one message, then the dialog
    boxes.answers.push_back(MessageBox::Result::Ok);
    RunWith([&] {
        EXPECT_EQ(dialog.statusText(), QStringLiteral("Brak komunikacji z urządzeniem. "));
        EXPECT_TRUE(dialog.temperaturePanel().noValue());
        EXPECT_TRUE(dialog.temperaturePanel().blinking());
        int unregistered = 0;
        QDBusServiceWatcher watcher(
            kBusName, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForUnregistration);
        QObject::connect(
            &watcher, &QDBusServiceWatcher::serviceUnregistered, [&] { ++unregistered; });

        const QRect placed = displace(dialog.temperaturePanel());
        feed(dialog, reading());
        EXPECT_EQ(dialog.temperaturePanel().geometry(), placed)
            << "the link change laid nothing out";
        EXPECT_TRUE(dialog.ddeServer().isRunning());
        EXPECT_TRUE(serviceOnBus());
        EXPECT_EQ(dialog.statusText(), QStringLiteral("QM-482 nr 4660. Pomiar prawidłowy. "));
        EXPECT_FALSE(dialog.temperaturePanel().noValue());
        EXPECT_EQ(dialog.temperaturePanel().rawValue(), 234 * 0.1);
        // What a screen reader reads of the window.
        EXPECT_EQ(dialog.temperaturePanel().accessibleName(), QStringLiteral("Temperatura"));
        EXPECT_EQ(dialog.temperaturePanel().accessibleDescription(), QStringLiteral("23.4 °C"));
        EXPECT_EQ(dialog.pressurePanel().accessibleDescription(), QStringLiteral("1013.2 hPa"));
        EXPECT_FALSE(dialog.pressurePanel().blinking());

        Measurement next = reading();
        next.temperature = 250 * 0.1;
        displace(dialog.temperaturePanel());
        feed(dialog, next);
        EXPECT_NE(dialog.temperaturePanel().geometry(), placed)
            << "an unchanged link laid out again";
        dialog.temperaturePanel().setGeometry(placed);
        EXPECT_EQ(dialog.temperaturePanel().rawValue(), 250 * 0.1);
        spinUntil([] { return false; }, 100);
        EXPECT_EQ(unregistered, 0) << "a second good frame restarted the service";

        // A bad frame takes the service away.
        for (auto b : { 0x41, 0x0D })
            dialog.OnByteReceived(static_cast<std::uint8_t>(b));
        EXPECT_FALSE(dialog.ddeServer().isRunning());
        EXPECT_TRUE(spinUntil([] { return !serviceOnBus(); }));
        EXPECT_EQ(dialog.statusText(), QStringLiteral("Brak komunikacji z urządzeniem. "));
        EXPECT_TRUE(dialog.humidityPanel().noValue());
        EXPECT_TRUE(dialog.humidityPanel().blinking());
        EXPECT_EQ(dialog.humidityPanel().rawValue(), 456 * 0.1) << "the raw value is kept";
    });
    EXPECT_EQ(boxes.count(QStringLiteral("Nie można otworzyć portu COM250")), 1);
    EXPECT_EQ(dialog.portControl().portNumber, 250)
        << "a failed start-up open keeps the saved port";
}

TEST_F(ShownWindow, EveryGoodFrameReachesTheAdviseLinksEvenWithTheSameValues)
{
    dialog.portControl().portNumber = 250;
    boxes.answers.push_back(MessageBox::Result::Ok);
    RunWith([&] {
        feed(dialog, reading());
        ASSERT_TRUE(dialog.ddeServer().isRunning());
        DdeTestClient client(QStringLiteral("advise-client"));
        ASSERT_TRUE(client.StartAdvise(QStringLiteral("Ciśnienie#4660"), QStringLiteral("Pomiar")));
        ASSERT_TRUE(client.NextAdvise()) << "the text at once";
        for (int frame = 1; frame <= 3; ++frame) {
            feed(dialog, reading());
            const auto advise = client.NextAdvise();
            ASSERT_TRUE(advise) << "frame " << frame << " sent no advise";
            EXPECT_TRUE(advise->text.endsWith(QStringLiteral(" hPa")))
                << advise->text.toStdString();
        }
    });
}

TEST_F(ShownWindow, SerialNumberZeroShowsValuesWithoutService)
{
    RunWith([&] {
        feed(dialog, reading(0));
        EXPECT_FALSE(dialog.temperaturePanel().noValue());
        EXPECT_FALSE(dialog.ddeServer().isRunning());
        EXPECT_FALSE(serviceOnBus());
        EXPECT_TRUE(boxes.shown.empty());
    });
}

TEST_F(ShownWindow, ErrorFlagsChooseWhichPanelsBlink)
{
    RunWith([&] {
        Measurement m = reading();
        m.calibrationError = true;
        feed(dialog, m);
        EXPECT_TRUE(dialog.temperaturePanel().blinking());
        EXPECT_TRUE(dialog.humidityPanel().blinking());
        EXPECT_TRUE(dialog.pressurePanel().blinking());
        EXPECT_FALSE(dialog.pressurePanel().noValue());

        m.calibrationError = false;
        m.pressureError = true;
        feed(dialog, m);
        EXPECT_FALSE(dialog.temperaturePanel().blinking());
        EXPECT_FALSE(dialog.humidityPanel().blinking());
        EXPECT_TRUE(dialog.pressurePanel().blinking());
        EXPECT_EQ(dialog.statusText(), QStringLiteral("QM-482 nr 4660. Błąd wartości ciśnienia. "));
    });
}

TEST_F(ShownWindow, BusErrorIsShownOncePerRunAndStartIsRetried)
{
    // Another program holds the name: the service cannot start.
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
    ASSERT_TRUE(other.registerService(kBusName));
    // The box waits for an answer without holding up the meter: the frame
    // that brought the link up is on the panels and the next ones arrive.
    bool readingsWhileOpen = false;
    boxes.whileShown = [&](const ScriptedMessageBox::Shown&) {
        const bool first = !dialog.temperaturePanel().noValue()
            && dialog.statusText() == QStringLiteral("QM-482 nr 4660. Pomiar prawidłowy. ");
        Measurement next = reading();
        next.temperature = 250 * 0.1;
        feed(dialog, next);
        readingsWhileOpen = first && dialog.temperaturePanel().rawValue() == next.temperature;
    };
    RunWith([&] {
        feed(dialog, reading());
        EXPECT_FALSE(dialog.ddeServer().isRunning());
        EXPECT_TRUE(spinUntil([&] { return !boxes.shown.empty(); }));
        EXPECT_TRUE(readingsWhileOpen);
        dialog.OnTimer(ids::TIMER_LINK_WATCHDOG); // link down
        feed(dialog, reading());
        spinUntil([] { return false; }, 50);
        EXPECT_EQ(boxes.count(QStringLiteral("Błąd inicjalizacji DDE!")), 1);
        EXPECT_EQ(boxes.shown.back().icon, MessageBox::Icon::Error);
        // Once the name is free, the frames of a link that stays up start the
        // service silently: a meter that never pauses must not keep it away.
        other.unregisterService(kBusName);
        feed(dialog, reading());
        EXPECT_FALSE(dialog.ddeServer().isRunning()) << "tried again at every frame";
        std::this_thread::sleep_for(std::chrono::milliseconds(DdeStartRule::kDdeRetryMs + 100));
        feed(dialog, reading());
        EXPECT_TRUE(dialog.ddeServer().isRunning());
        EXPECT_EQ(boxes.shown.size(), 1u);
    });
    QDBusConnection::disconnectFromBus("other");
}

TEST_F(ShownWindow, NoPortShowsTheWindowFirstThenThePortDialog)
{
    bool visibleFirst = false;
    bool dialogSeen = false;
    QElapsedTimer clock;
    qint64 shownAt = -1;
    qint64 dialogAt = -1;
    when(
        &dialog, [&] { return dialog.isVisible(); }, [&] { shownAt = clock.elapsed(); });
    when(&dialog, modalIsPortDialog, [&] {
        dialogAt = clock.elapsed();
        dialogSeen = true;
        visibleFirst = dialog.isVisible();
        QApplication::activeModalWidget()->close();
        QTimer::singleShot(0, &dialog, &QDialog::reject);
    });
    clock.start();
    dialog.exec();
    EXPECT_TRUE(dialogSeen);
    EXPECT_TRUE(visibleFirst);
    EXPECT_GE(dialogAt - shownAt, 300) << "the port dialog came before the window settled";
    EXPECT_EQ(dialog.portControl().serialPort(), nullptr);
    EXPECT_EQ(dialog.statusText(), QStringLiteral("Brak komunikacji z urządzeniem. "));
}

TEST_F(ShownWindow, ChoosingTheOpenPortLeavesItAndAFailingChoiceAsksAgain)
{
    testpty::Pty pty;
    ASSERT_TRUE(pty.ok());
    ports.Link(7, pty.slave());
    dialog.portControl().portNumber = 7;
    dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
        t = "COM7:pty\nCOM250\n";
        n = 2;
        return true;
    });
    int dialogs = 0;
    std::function<void()> pick;
    pick = [&] {
        when(&dialog, modalIsPortDialog, [&] {
            auto* pd = qobject_cast<PortDialog*>(QApplication::activeModalWidget());
            ++dialogs;
            if (dialogs == 1) {
                EXPECT_EQ(pd->portList()->currentIndex(), 0) << "the open port is preselected";
                pd->accept(); // the open port again
            } else if (dialogs == 2) {
                pd->portList()->setCurrentIndex(1); // COM250 will not open
                for (auto* b : pd->findChildren<QPushButton*>())
                    if (b->text() == "OK")
                        b->click();
                pick(); // the dialog comes back
            } else {
                pd->reject();
            }
        });
    };
    RunWith([&] {
        SerialPort* before = dialog.portControl().serialPort();
        ASSERT_NE(before, nullptr);
        pick();
        dialog.OnCommand(ids::ID_SERIAL_PORT);
        EXPECT_EQ(dialog.portControl().serialPort(), before)
            << "choosing the open port reopened it";
        pick();
        dialog.OnCommand(ids::ID_SERIAL_PORT);
        EXPECT_EQ(dialogs, 3);
        EXPECT_EQ(dialog.portControl().serialPort(), nullptr);
        EXPECT_EQ(dialog.portControl().portNumber, 0);
        EXPECT_EQ(boxes.count(QStringLiteral("Nie można otworzyć portu COM250")), 1);
    });
}

TEST_F(ShownWindow, KeysTopmostAndResizingLeaveTheWindowRunning)
{
    bool ranOn = false;
    when(
        &dialog, [&] { return dialog.isVisible(); },
        [&] {
            for (int key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape }) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QApplication::sendEvent(&dialog.temperaturePanel(), &press);
                QKeyEvent pressMain(QEvent::KeyPress, key, Qt::NoModifier);
                QApplication::sendEvent(&dialog, &pressMain);
            }
            const QRect before = dialog.geometry();
            QAction* top = dialog.menuAction(ids::ID_TOPMOST);
            ASSERT_NE(top, nullptr);
            EXPECT_FALSE(top->isChecked());
            top->trigger();
            EXPECT_TRUE(dialog.topmost);
            EXPECT_TRUE(top->isChecked());
            EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
            EXPECT_TRUE(dialog.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
            top->trigger();
            EXPECT_FALSE(dialog.topmost);
            EXPECT_FALSE(top->isChecked());
            EXPECT_FALSE(dialog.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
            EXPECT_EQ(dialog.geometry(), before);

            // A resize lays the panels out for the new size.
            const QRect temperature = dialog.temperaturePanel().geometry();
            const QRect pressure = dialog.pressurePanel().geometry();
            dialog.resize(before.width() + 40, before.height() + 30);
            EXPECT_TRUE(spinUntil(
                [&] { return dialog.temperaturePanel().width() == temperature.width() + 40; }));
            QApplication::processEvents();
            EXPECT_EQ(dialog.pressurePanel().geometry().bottom(), pressure.bottom() + 30);
            EXPECT_EQ(dialog.temperaturePanel().geometry().x(), temperature.x());

            // Every command works from the start but recording's, which
            // waits for the start of recording.
            for (int id : { ids::ID_RUN_PLOTAN, ids::ID_MORE_SETTINGS, ids::ID_HELP,
                     ids::ID_PROMOTION, ids::ID_ABOUT, ids::ID_SERIAL_PORT })
                EXPECT_TRUE(dialog.menuAction(id)->isEnabled()) << id;
            EXPECT_FALSE(dialog.menuAction(ids::ID_RECORDING)->isEnabled());
            // Only the window's own end may end its modal run.
            QTimer::singleShot(100, &dialog, [&] {
                ranOn = dialog.isVisible();
                dialog.reject();
            });
        });
    dialog.exec();
    EXPECT_TRUE(ranOn) << "a key, the topmost switch or a resize ended the window";
}

TEST_F(ShownWindow, WhereThePositionAndTheTopBandAreHiddenTheSavedOnesStay)
{
    // A Wayland desktop: the position is unknown and nothing stays on top.
    dialog.placement().SetAbilities({ false, false });
    dialog.savedRect = { 137, 91, 737, 511 };
    dialog.topmost = true; // chosen where it was honoured
    const QString told = QString::fromUtf8("Ten pulpit nie pozwala programom utrzymywać okna "
                                           "na wierzchu.");
    RunWith([&] {
        QAction* top = dialog.menuAction(ids::ID_TOPMOST);
        ASSERT_NE(top, nullptr);
        EXPECT_FALSE(top->isChecked()) << "the window is not on top here";
        top->trigger();
        EXPECT_TRUE(spinUntil([&] { return !boxes.shown.empty(); }));
        top->trigger();
        QApplication::processEvents();
        EXPECT_EQ(boxes.shown.size(), 1U) << "told once a run, not at every choice";
        EXPECT_EQ(boxes.count(told), 1);
        EXPECT_FALSE(top->isChecked());
        EXPECT_TRUE(dialog.topmost) << "the choice is kept for a desktop that honours it";
        EXPECT_FALSE(dialog.windowHandle()->flags() & Qt::WindowStaysOnTopHint);

        dialog.move(300, 200);
        dialog.resize(640, 450);
        EXPECT_TRUE(spinUntil([&] { return dialog.savedRect.right == 137 + 640; }));
        EXPECT_EQ(dialog.savedRect.left, 137);
        EXPECT_EQ(dialog.savedRect.top, 91);
        EXPECT_EQ(dialog.savedRect.bottom, 91 + 450);
    });
    EXPECT_EQ(dialog.savedRect.left, 137) << "the end took a position it cannot know";
    EXPECT_EQ(dialog.savedRect.top, 91);
}

TEST_F(ShownWindow, SigtermWhileTheBoxIsOpenEndsLikeTheCloseBox)
{
    bool safetyNetUsed = false;
    when(&dialog, modalIsPortDialog, [&] {
        ::raise(SIGTERM);
        QTimer::singleShot(2000, &dialog, [&] {
            // The test must end even if the signal is ignored.
            if (QWidget* modal = QApplication::activeModalWidget()) {
                safetyNetUsed = true;
                modal->close();
            }
        });
    });
    const int result = dialog.exec();
    EXPECT_FALSE(safetyNetUsed) << "SIGTERM left a dialog open";
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ShownWindow, SigtermWhileThePortsAreListedOpensNoPortDialog)
{
    dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        t = "COM3\n";
        n = 1;
        return true;
    });
    // Sees every port dialog that is shown, however briefly.
    struct ShowWatch : QObject {
        bool portDialogShown = false;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && qobject_cast<PortDialog*>(o) != nullptr)
                portDialogShown = true;
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    bool waitSeen = false;
    when(
        &dialog,
        [] { return qobject_cast<WaitDialog*>(QApplication::activeModalWidget()) != nullptr; },
        [&] {
            waitSeen = true;
            ::raise(SIGTERM);
        });
    QTimer::singleShot(5000, &dialog, [&] { dialog.reject(); }); // the test always ends
    const int result = dialog.exec();
    qApp->removeEventFilter(&watch);
    EXPECT_TRUE(waitSeen);
    EXPECT_FALSE(watch.portDialogShown) << "the port dialog flashed up after SIGTERM";
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST(MainDialogEndToEnd, SimulatedMeterDrivesTheWindowAndComesBackAfterLoss)
{
    ScriptedMessageBox boxes;
    PortsFolder ports;
    auto startSim = [] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(QM482_SIM, QM482_SIM, "--port", "9", "--serial", "4660", "--temp", "-12.3",
                "--quiet", "--rate", "600", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    };
    pid_t sim = startSim();
    const std::string link = std::string(::getenv("QM482_PORTS_DIR")) + "/COM9";
    ASSERT_TRUE(spinUntil([&] { return std::filesystem::is_symlink(link); }));

    MainDialog dialog;
    dialog.portControl().portNumber = 9;
    dialog.showPromotionAtStart = 0;
    bool sawReading = false;
    bool sawLoss = false;
    bool sawReturn = false;
    when(
        &dialog, [&] { return dialog.isVisible(); },
        [&] {
            sawReading = spinUntil([&] { return dialog.link().linkState(); }, 10000);
            EXPECT_EQ(dialog.statusText(), QStringLiteral("QM-482 nr 4660. Pomiar prawidłowy. "));
            EXPECT_EQ(dialog.temperaturePanel().rawValue(), -123 * 0.1);
            EXPECT_FALSE(dialog.temperaturePanel().noValue());

            ::kill(sim, SIGTERM);
            ::waitpid(sim, nullptr, 0);
            const double cpuBefore = processCpuSeconds();
            sawLoss = spinUntil([&] { return !dialog.link().linkState(); }, 7000);
            // Waiting for the lost device (reopen attempts every 2 s) must not spin.
            spinUntil([] { return false; }, 1000);
            EXPECT_LT(processCpuSeconds() - cpuBefore, 1.0);
            EXPECT_EQ(dialog.statusText(), QStringLiteral("Brak komunikacji z urządzeniem. "));

            sim = startSim();
            sawReturn = spinUntil([&] { return dialog.link().linkState(); }, 10000);
            dialog.reject();
        });
    dialog.exec();
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    EXPECT_TRUE(sawReading);
    EXPECT_TRUE(sawLoss);
    EXPECT_TRUE(sawReturn) << "readings did not return after the meter came back";
    EXPECT_EQ(dialog.portControl().portNumber, 9);
}
