#pragma once

#include "extras/CompanionLauncher.h"
#include "extras/HelpWindow.h"

#include <QPointer>
#include <QString>

#include <memory>

class QWidget;
class WindowTimers;

// The main window's auxiliary commands: the about box, the promotion
// window (from the menu and at start-up), the additional settings, help
// and the companion program.
class AuxiliaryWindows {
public:
    // What the main window shares: its timers, its show-promotion flag
    // (SHOW_ADV) and the flag that holds the port dialog back while the
    // promotion window of the start is open.
    AuxiliaryWindows(QWidget* window, WindowTimers& timers, int& showPromotionAtStart,
        bool& promotionOpen, CompanionLauncher::RecordedFile recorded);
    ~AuxiliaryWindows();
    AuxiliaryWindows(const AuxiliaryWindows&) = delete;
    AuxiliaryWindows& operator=(const AuxiliaryWindows&) = delete;

    // The about item of the window's context menu (once).
    void AddContextMenu();
    // End of the main window's start-up: arms the promotion timer.
    void OnInitDialog();
    // False for a command that is not one of these.
    bool OnCommand(int id);
    bool OnTimer(unsigned id);
    // The main window closes: so does help.
    void OnClose();

    void RunAbout();
    void RunPromotion();
    void RunExtraSettings();
    // Help at its start; "Failed to launch help." when it cannot be shown.
    void ShowHelp();

    CompanionLauncher& launcher() { return launcher_; }
    HelpWindow* helpWindow() const { return help_; }
    // Tests point help at a page of their own.
    void SetHelpPage(QString page) { helpPage_ = std::move(page); }

private:
    QString FindHelpPage() const;

    QWidget* window_;
    WindowTimers& timers_;
    int& showPromotionAtStart_;
    bool& promotionOpen_;
    CompanionLauncher launcher_;
    QPointer<HelpWindow> help_;
    QString helpPage_;
};
