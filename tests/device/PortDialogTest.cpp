#include "device/PortDialog.h"
#include "device/WaitDialog.h"
#include "support/ScriptedMessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

PortDialog::Enumerator listing(std::string text)
{
    return [text](unsigned& count, std::string& out) {
        out = text;
        count = 0;
        for (char c : text)
            count += c == '\n' ? 1 : 0;
        return true;
    };
}

// Runs `step` inside the modal loop once `target` is the open dialog
// (nullptr: whichever dialog opens first).
void whenOpen(QWidget* target, std::function<void()> step)
{
    QTimer::singleShot(5, [target, step] {
        QWidget* open = QApplication::activeModalWidget();
        if (open != nullptr && (target == nullptr || open == target))
            step();
        else
            whenOpen(target, step);
    });
}

QPushButton* button(PortDialog& d, const QString& text)
{
    for (auto* b : d.findChildren<QPushButton*>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

} // namespace

TEST(PortDialog, PortInUseIsPreselectedAndNamedInTheStatus)
{
    PortDialog d(1, listing("COM1:Communications Port\nCOM10:USB Serial Port\n"));
    whenOpen(&d, [&] {
        EXPECT_EQ(d.portList()->count(), 2);
        EXPECT_EQ(d.portList()->currentText(), QStringLiteral("COM1 (Communications Port)"));
        EXPECT_EQ(d.statusText()->text(), QStringLiteral("Aktualnie używany port: COM1"));
        d.reject();
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
}

TEST(PortDialog, NoPortInUseSelectsNothingAndOkSaysSo)
{
    ScriptedMessageBox boxes;
    PortDialog d(0, listing("COM1\nCOM12:USB Serial Port\n"));
    whenOpen(&d, [&] {
        EXPECT_EQ(d.statusText()->text(), QStringLiteral("Aktualnie żaden port nie jest używany"));
        EXPECT_EQ(d.portList()->currentIndex(), -1);
        button(d, "OK")->click();
        EXPECT_TRUE(d.isVisible()) << "OK without a port closed the dialog";
        EXPECT_EQ(boxes.count(QStringLiteral("Nie wybrano żadnego portu.")), 1);
        EXPECT_EQ(boxes.shown.back().icon, MessageBox::Icon::Exclamation);
        d.portList()->setCurrentIndex(1);
        button(d, "OK")->click();
    });
    EXPECT_EQ(d.exec(), QDialog::Accepted);
    EXPECT_EQ(d.portNumber(), 12);
}

TEST(PortDialog, CancelInTheWaitDialogIsOnlyRecorded)
{
    bool waitSeen = false;
    // A slow listing: the wait dialog's Anuluj must not close it.
    PortDialog d(0, [&](unsigned& count, std::string& text) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        text = "COM3\n";
        count = 1;
        return true;
    });
    whenOpen(nullptr, [&] {
        auto* wait = qobject_cast<WaitDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(wait, nullptr);
        waitSeen = true;
        EXPECT_FALSE(wait->cancelRequested());
        for (auto* b : wait->findChildren<QPushButton*>())
            b->click();
        EXPECT_TRUE(wait->cancelRequested()) << "Anuluj was not recorded";
        EXPECT_TRUE(wait->isVisible());
        // The port dialog comes once the listing has finished.
        whenOpen(&d, [&] {
            EXPECT_EQ(d.portList()->count(), 1);
            d.reject();
        });
    });
    d.exec();
    EXPECT_TRUE(waitSeen);
    EXPECT_EQ(d.portLines(), std::vector<std::string> { "COM3" });
}

TEST(PortDialog, WorkerThatCannotStartGivesAnEmptyListAtOnce)
{
    PortDialog d(5, listing("COM5\n"));
    d.SetThreadStarter([](std::function<void()>, std::thread&) { return false; });
    whenOpen(nullptr, [&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &d);
        EXPECT_EQ(d.portList()->count(), 0);
        d.reject();
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
}
