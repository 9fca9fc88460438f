#include "extras/AuxiliaryWindows.h"
#include "device/PortControl.h"
#include "device/PortDialog.h"
#include "device/WaitDialog.h"
#include "display/MainDialog.h"
#include "extras/ExtraSettingsDialog.h"
#include "extras/HelpWindow.h"
#include "extras/PromoDialog.h"
#include "platform/DialogBuilder.h"
#include "platform/WindowTimers.h"
#include "resources/CommandIds.h"
#include "support/EventLoop.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace {

template<class D> D* modal()
{
    return qobject_cast<D*>(QApplication::activeModalWidget());
}

void clickButton(QWidget* dialog, int id)
{
    if (auto* b = qobject_cast<QPushButton*>(DialogBuilder::Control(dialog, id)))
        b->click();
}

void sendMouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), button,
        type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// An owner window for the auxiliary commands, as the main window is.
struct Host {
    QWidget window;
    WindowTimers* timers = new WindowTimers([this](unsigned id) { aux.OnTimer(id); }, &window);
    int showAdv = 1;
    bool promotionOpen = false;
    std::string recorded;
    AuxiliaryWindows aux { &window, *timers, showAdv, promotionOpen, [this] { return recorded; } };
};

} // namespace

TEST(PromotionAtStart, OpensSoonAfterTheWindowAndThePortDialogWaitsForItsClose)
{
    ScriptedMessageBox boxes;
    MainDialog dialog;
    dialog.showPromotionAtStart = 1;
    dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
        n = 0;
        t.clear();
        return true;
    });
    bool promoSeen = false;
    bool visibleBefore = false;
    bool portWhilePromo = false;
    bool promoClosed = false;
    bool portAfter = false;
    when(
        &dialog, [] { return modal<PromoDialog>() != nullptr; },
        [&] {
            promoSeen = true;
            visibleBefore = dialog.isVisible();
            PromoDialog* promo = modal<PromoDialog>();
            // Well past the port dialog's half second: it must not come yet.
            QTimer::singleShot(1500, promo, [&, promo] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    portWhilePromo |= w->isVisible()
                        && (qobject_cast<PortDialog*>(w) != nullptr
                            || qobject_cast<WaitDialog*>(w) != nullptr);
                promoClosed = true;
                clickButton(promo, 1);
            });
        });
    when(
        &dialog, [] { return modal<PortDialog>() != nullptr; },
        [&] {
            portAfter = promoClosed;
            modal<PortDialog>()->reject();
            QTimer::singleShot(0, &dialog, &QDialog::reject);
        });
    QTimer::singleShot(10000, &dialog, [&] {
        if (QWidget* m = QApplication::activeModalWidget(); m != nullptr && m != &dialog)
            m->close();
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(promoSeen);
    EXPECT_TRUE(visibleBefore);
    EXPECT_FALSE(portWhilePromo);
    EXPECT_TRUE(portAfter);
    EXPECT_EQ(dialog.showPromotionAtStart, 1);
}

TEST(PromotionAtStart, SigtermEndsItAndTheProgramLikeTheCloseBox)
{
    ScriptedMessageBox boxes;
    MainDialog dialog;
    dialog.showPromotionAtStart = 1;
    dialog.portControl().portNumber = 0;
    dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
        n = 0;
        t.clear();
        return true;
    });
    bool promoSeen = false;
    when(
        &dialog, [] { return modal<PromoDialog>() != nullptr; },
        [&] {
            promoSeen = true;
            ::raise(SIGTERM);
        });
    QTimer::singleShot(10000, &dialog, [&] {
        if (QWidget* m = QApplication::activeModalWidget(); m != nullptr && m != &dialog)
            m->close();
    });
    const int result = dialog.exec();
    EXPECT_TRUE(promoSeen);
    EXPECT_EQ(result, QDialog::Rejected);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
}

TEST(ExtraSettings, BoxShowsTheInverseOfShowAdvOkSetsItAnulujLeavesIt)
{
    Host host;
    bool shownTicked = true;
    when(
        &host.window, [] { return modal<ExtraSettingsDialog>() != nullptr; },
        [&] {
            auto* d = modal<ExtraSettingsDialog>();
            shownTicked = d->checkBox()->isChecked();
            d->checkBox()->click();
            clickButton(d, 2);
        });
    host.aux.OnCommand(ids::ID_MORE_SETTINGS);
    EXPECT_FALSE(shownTicked);
    EXPECT_EQ(host.showAdv, 1) << "Anuluj changed the setting";

    when(
        &host.window, [] { return modal<ExtraSettingsDialog>() != nullptr; },
        [&] {
            auto* d = modal<ExtraSettingsDialog>();
            EXPECT_EQ(d->checkBox()->text(),
                QStringLiteral("Nie pokazu informacji o oprogramowaniu Varda przy starcie"));
            d->checkBox()->click();
            clickButton(d, 1);
        });
    host.aux.OnCommand(ids::ID_MORE_SETTINGS);
    EXPECT_EQ(host.showAdv, 0);

    when(
        &host.window, [] { return modal<ExtraSettingsDialog>() != nullptr; },
        [&] {
            auto* d = modal<ExtraSettingsDialog>();
            shownTicked = d->checkBox()->isChecked();
            clickButton(d, 1);
        });
    host.aux.OnCommand(ids::ID_MORE_SETTINGS);
    EXPECT_TRUE(shownTicked);
    EXPECT_EQ(host.showAdv, 0);
}

TEST(PromotionWindow, ClicksIntoTheAdvertisementPlaceNoCaretAndSelectNothingKeysScroll)
{
    PromoDialog promo;
    promo.show();
    QApplication::setActiveWindow(&promo);
    QTextEdit* text = promo.advertisement();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(promo.windowTitle(), QStringLiteral("Orlent - promocja Varda"));
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("Varda")));
    QWidget* view = text->viewport();
    const int caret = text->textCursor().position();
    for (Qt::MouseButton b : { Qt::LeftButton, Qt::RightButton }) {
        sendMouse(view, QEvent::MouseButtonPress, QPointF(40, 40), b);
        QMouseEvent move(QEvent::MouseMove, QPointF(200, 120), view->mapToGlobal(QPointF(200, 120)),
            Qt::NoButton, b, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        sendMouse(view, QEvent::MouseButtonRelease, QPointF(200, 120), b);
        sendMouse(view, QEvent::MouseButtonDblClick, QPointF(60, 40), b);
    }
    EXPECT_FALSE(text->textCursor().hasSelection());
    EXPECT_EQ(text->textCursor().position(), caret);
    EXPECT_FALSE(text->hasFocus());
    EXPECT_TRUE(promo.hasFocus());
    // Read-only, yet scrollable from the keyboard.
    ASSERT_GT(text->verticalScrollBar()->maximum(), 0)
        << "the advertisement fits: nothing to scroll";
    QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(text, &down);
    EXPECT_GT(text->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(text->isReadOnly());
}

TEST(Companion, NothingReachableSaysSoAStubOnPathStartsAndTheChartViewerGetsTheFile)
{
    Host host;
    TempDir programDir;
    TempDir bin;
    TempDir out;
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", bin.path().c_str(), 1);
    host.aux.launcher().SetProgramDirectory(programDir.path());
    ScriptedMessageBox boxes;

    host.aux.OnCommand(ids::ID_RUN_PLOTAN);
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Nie można odnaleźć programu Plotan.exe"));
    EXPECT_EQ(boxes.shown[0].icon, MessageBox::Icon::Exclamation);

    auto stub = [&](const std::string& file, const std::string& marker) {
        WriteFile(file,
            "#!/bin/sh\necho \"$@\" > '" + marker + ".part' && /bin/mv '" + marker + ".part' '"
                + marker + "'\n");
        ::chmod(file.c_str(), 0755);
    };
    auto appears = [](const std::string& f) {
        for (int i = 0; i < 500 && !std::filesystem::exists(f); ++i)
            QThread::msleep(10);
        return std::filesystem::exists(f);
    };
    stub(programDir / "qm482-chart", out / "chart");
    host.recorded = "/data/pomiary 1.qmg";
    host.aux.OnCommand(ids::ID_RUN_PLOTAN);
    ASSERT_TRUE(appears(out / "chart"));
    EXPECT_EQ(ReadFile(out / "chart"), "/data/pomiary 1.qmg\n");

    stub(bin / "Plotan", out / "plotan");
    host.aux.OnCommand(ids::ID_RUN_PLOTAN);
    EXPECT_TRUE(appears(out / "plotan"));
    EXPECT_EQ(boxes.shown.size(), 1U) << "a box although a program started";
    ::setenv("PATH", path.c_str(), 1);
}

TEST(Help, OpensAtItsStartSaysWhenItCannotAndClosesWithTheMainWindow)
{
    ScriptedMessageBox boxes;
    MainDialog dialog;
    dialog.showPromotionAtStart = 0;
    dialog.portControl().portNumber = 0;
    dialog.portControl().SetPortEnumerator([](unsigned& n, std::string& t) {
        n = 0;
        t.clear();
        return true;
    });
    AuxiliaryWindows& aux = dialog.auxiliaryWindows();
    bool shown = false;
    bool atStart = false;
    QString title;
    QString failure;
    when(
        &dialog, [&] { return dialog.isVisible(); },
        [&] {
            aux.SetHelpPage(QStringLiteral(QM482_HELP_PAGE));
            dialog.OnCommand(ids::ID_HELP);
            HelpWindow* help = aux.helpWindow();
            shown = help != nullptr && help->isVisible();
            if (!shown)
                return dialog.reject();
            title = help->windowTitle();
            help->browser()->verticalScrollBar()->setValue(
                help->browser()->verticalScrollBar()->maximum());
            dialog.OnCommand(ids::ID_HELP);
            atStart = help->browser()->verticalScrollBar()->value() == 0;

            aux.SetHelpPage(QStringLiteral("/nonexistent/qm482.html"));
            dialog.OnCommand(ids::ID_HELP);
            failure = boxes.shown.empty() ? QString() : boxes.shown.back().text;
            aux.SetHelpPage(QStringLiteral(QM482_HELP_PAGE));
            dialog.OnCommand(ids::ID_HELP);
            dialog.reject();
        });
    dialog.exec();
    EXPECT_TRUE(shown);
    EXPECT_EQ(title, QStringLiteral("QM482 - Pomoc"));
    EXPECT_TRUE(atStart);
    EXPECT_EQ(failure, QStringLiteral("Failed to launch help."));
    ASSERT_NE(aux.helpWindow(), nullptr);
    EXPECT_FALSE(aux.helpWindow()->isVisible()) << "help outlived the main window";
}
