#include "extras/AuxiliaryWindows.h"

#include "extras/AboutDialog.h"
#include "extras/ExtraSettingsDialog.h"
#include "extras/HelpWindow.h"
#include "extras/PromoDialog.h"
#include "platform/MessageBox.h"
#include "platform/WindowTimers.h"
#include "resources/AuxiliaryTexts.h"
#include "resources/CommandIds.h"
#include "resources/DialogTemplates.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

#ifndef QM482_DATA_DIR
#define QM482_DATA_DIR ""
#endif

AuxiliaryWindows::AuxiliaryWindows(QWidget* window, WindowTimers& timers, int& showPromotionAtStart,
    bool& promotionOpen, CompanionLauncher::RecordedFile recorded)
    : window_(window)
    , timers_(timers)
    , showPromotionAtStart_(showPromotionAtStart)
    , promotionOpen_(promotionOpen)
    , launcher_(window, std::move(recorded))
{
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    QObject::connect(
        f1, &QShortcut::activated, window, [this] { OnCommand(ids::ID_HELP_COMMAND); });
}

AuxiliaryWindows::~AuxiliaryWindows()
{
    OnClose();
}

void AuxiliaryWindows::AddContextMenu()
{
    const std::string_view about = resources::String(resources::ids::kAboutString);
    if (about.empty() || !window_->findChildren<QAction*>(QStringLiteral("about")).isEmpty())
        return;
    // No window-manager menu belongs to the program here: the about item
    // goes into the window's context menu instead.
    auto* separator = new QAction(window_);
    separator->setSeparator(true);
    auto* item
        = new QAction(QString::fromUtf8(about.data(), static_cast<int>(about.size())), window_);
    item->setObjectName(QStringLiteral("about"));
    QObject::connect(item, &QAction::triggered, window_, [this] { OnCommand(ids::IDM_ABOUTBOX); });
    window_->addAction(separator);
    window_->addAction(item);
    window_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void AuxiliaryWindows::OnInitDialog()
{
    if (showPromotionAtStart_ != 0)
        timers_.SetTimer(ids::TIMER_PROMOTION, 100);
}

bool AuxiliaryWindows::OnCommand(int id)
{
    switch (id) {
    case ids::ID_ABOUT:
    case ids::IDM_ABOUTBOX:
        RunAbout();
        return true;
    case ids::ID_PROMOTION:
        RunPromotion();
        return true;
    case ids::ID_MORE_SETTINGS:
        RunExtraSettings();
        return true;
    case ids::ID_RUN_PLOTAN:
        launcher_.Run();
        return true;
    case ids::ID_HELP:
    case ids::ID_HELP_COMMAND:
        ShowHelp();
        return true;
    default:
        return false;
    }
}

bool AuxiliaryWindows::OnTimer(unsigned id)
{
    if (id != ids::TIMER_PROMOTION)
        return false;
    timers_.KillTimer(id);
    promotionOpen_ = true;
    RunPromotion();
    promotionOpen_ = false;
    return true;
}

void AuxiliaryWindows::OnClose()
{
    if (help_ != nullptr)
        help_->close();
}

void AuxiliaryWindows::RunAbout()
{
    AboutDialog dialog(window_);
    dialog.exec();
}

void AuxiliaryWindows::RunPromotion()
{
    PromoDialog dialog(window_);
    dialog.exec();
}

void AuxiliaryWindows::RunExtraSettings()
{
    ExtraSettingsDialog dialog(window_);
    dialog.hideAtStart = showPromotionAtStart_ == 0 ? 1 : 0;
    if (dialog.exec() == QDialog::Accepted)
        showPromotionAtStart_ = dialog.hideAtStart == 0 ? 1 : 0;
}

QString AuxiliaryWindows::FindHelpPage() const
{
    if (!helpPage_.isEmpty())
        return helpPage_;
    const auto pages = HelpWindow::Candidates(
        QCoreApplication::applicationFilePath(), QStringLiteral(QM482_DATA_DIR));
    for (const QString& page : pages) {
        if (QFileInfo(page).isFile())
            return page;
    }
    return {};
}

void AuxiliaryWindows::ShowHelp()
{
    if (help_ == nullptr) {
        help_ = new HelpWindow(window_);
        // Over the main window, and whole on its screen.
        QRect place(window_->geometry().topLeft() + QPoint(30, 30), help_->size());
        if (const QScreen* screen = window_->screen()) {
            const QRect room = screen->availableGeometry();
            place.moveBottom(std::min(place.bottom(), room.bottom() - 40));
            place.moveRight(std::min(place.right(), room.right()));
            place.moveTopLeft(
                QPoint(std::max(place.left(), room.left()), std::max(place.top(), room.top())));
        }
        help_->move(place.topLeft());
    }
    if (!help_->ShowPage(FindHelpPage())) {
        help_->hide();
        ShowMessage(window_, QString::fromUtf8(texts::aux::kHelpFailed));
    }
}
