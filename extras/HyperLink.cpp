#include "extras/HyperLink.h"

#include "extras/DetachedProcess.h"
#include "extras/LinkRules.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QSocketNotifier>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

HyperLink::DefaultHandler& defaultHandler()
{
    static HyperLink::DefaultHandler handler;
    return handler;
}

std::vector<std::string> pathDirectories()
{
    const char* path = std::getenv("PATH");
    return link_rules::PathDirectories(path != nullptr ? path : "/usr/bin:/bin");
}

// The registered browser command, started without a shell; the shell's
// own result when there is none.
int openWithBrowser(const std::string& target, int shellResult)
{
    const auto directories = pathDirectories();
    for (const std::string& command : link_rules::BrowserCommands(std::getenv("BROWSER"))) {
        std::vector<std::string> argv = link_rules::BrowserArgv(command, target);
        // Too long for the command line: refused rather than cut short.
        if (argv.empty())
            return shellResult;
        const std::string program = link_rules::FindProgram(
            argv.front(), directories, detached_process::IsExecutableFile);
        if (program.empty())
            continue;
        argv.front() = program;
        const int error = detached_process::Start(argv);
        return error == 0 ? link_rules::kLaunched : link_rules::LaunchError(error);
    }
    return shellResult;
}

// The opener's end, seen from the event loop. The watch belongs to the
// application, not to the link: the opener is reaped even when the window
// that asked is gone by then.
void watchOpener(detached_process::Watched watched, std::function<void(int)> done)
{
    auto* notifier
        = new QSocketNotifier(watched.exitFd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
        [notifier, watched, done = std::move(done)]() mutable {
            notifier->setEnabled(false);
            const int code = detached_process::Reap(watched);
            notifier->deleteLater();
            done(link_rules::OpenerExitResult(code));
        });
}

// One error box at a time: a second failure while one is up only beeps.
bool errorBoxShown = false;

} // namespace

HyperLink::DefaultHandler HyperLink::SetDefaultHandler(DefaultHandler handler)
{
    DefaultHandler previous = std::move(defaultHandler());
    defaultHandler() = std::move(handler);
    return previous;
}

HyperLink::HyperLink(QObject* parent)
    : QObject(parent)
    , hoverColour_(QApplication::palette().color(QPalette::Highlight))
{
}

void HyperLink::AttachToControl(QLabel* control)
{
    if (control == nullptr)
        return;
    control_ = control;
    // The text is shown as it is, never as markup.
    control->setTextFormat(Qt::PlainText);
    if (link_.isEmpty())
        link_ = control->text();
    if (control->text().isEmpty())
        control->setText(link_);
    QFont font = control->font();
    font.setUnderline(underline_);
    control->setFont(font);
    FitToText();
    control->setCursor(Qt::PointingHandCursor);
    control->setToolTip(link_);
    control->setAutoFillBackground(false);
    control->installEventFilter(this);
    Repaint();
}

void HyperLink::SetLink(const QString& link)
{
    link_ = link;
    if (control_ != nullptr) {
        FitToText();
        control_->setToolTip(link_);
    }
}

void HyperLink::MarkVisited(bool visited)
{
    visited_ = visited;
    if (control_ != nullptr)
        Repaint();
}

QColor HyperLink::textColour() const
{
    if (hovering_)
        return hoverColour_;
    return visited_ ? visitedColour_ : linkColour_;
}

void HyperLink::Repaint()
{
    QPalette p = control_->palette();
    p.setColor(QPalette::WindowText, textColour());
    control_->setPalette(p);
    control_->repaint();
}

void HyperLink::FitToText()
{
    if (!fitToText_ || control_ == nullptr)
        return;
    const QRect g = control_->geometry();
    const QSize text = QFontMetrics(control_->font()).size(0, control_->text());
    const Qt::Alignment a = control_->alignment();
    link_rules::HAlign align = link_rules::HAlign::Left;
    if ((a & Qt::AlignHCenter) != 0)
        align = link_rules::HAlign::Centre;
    else if ((a & Qt::AlignRight) != 0)
        align = link_rules::HAlign::Right;
    const link_rules::Rect r
        = link_rules::FitToText({ g.left(), g.top(), g.left() + g.width(), g.top() + g.height() },
            text.width(), text.height(), align, (a & Qt::AlignVCenter) != 0);
    control_->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QWidget* HyperLink::window() const
{
    if (control_ != nullptr)
        return control_->window();
    if (auto* owner = qobject_cast<QWidget*>(parent()))
        return owner->window();
    return nullptr;
}

void HyperLink::Activate()
{
    if (opening_)
        return;
    opening_ = true;
    QWidget* w = window();
    shownAtClick_ = w != nullptr && w->isVisible();
    const auto inActivate = std::make_shared<bool>(true);
    OpenLink(link_, [self = QPointer<HyperLink>(this), inActivate](int result) {
        if (self)
            self->Opened(result, !*inActivate);
    });
    *inActivate = false;
}

void HyperLink::Opened(int result, bool later)
{
    opening_ = false;
    visited_ = result > 32;
    if (visited_) {
        MarkVisited(true);
        return;
    }
    QWidget* parent = window();
    if (parent == nullptr)
        parent = QApplication::activeWindow();
    // The window closed while the opener ran: nobody is left to tell.
    if (later && shownAtClick_ && (parent == nullptr || !parent->isVisible()))
        return;
    QApplication::beep();
    if (errorBoxShown)
        return;
    errorBoxShown = true;
    ShowOpenError(parent, result);
    errorBoxShown = false;
}

void HyperLink::OpenLink(const QString& target, const std::function<void(int)>& done)
{
    const std::string t = target.toStdString();
    if (const auto& handler = defaultHandler()) {
        done(handler(QUrl(target)) ? link_rules::kLaunched
                                   : openWithBrowser(t, link_rules::kNoAssociation));
        return;
    }
    // xdg-open itself falls back to the browser commands; they are tried
    // here only when it is missing or cannot run, so its own failure is
    // what the user is told.
    const std::string opener = link_rules::FindProgram(
        "xdg-open", pathDirectories(), detached_process::IsExecutableFile);
    if (opener.empty()) {
        done(openWithBrowser(t, link_rules::kNoAssociation));
        return;
    }
    const std::vector<std::string> argv { opener, t };
    detached_process::Watched watched = detached_process::StartWatched(argv);
    if (watched.error == ENOSYS) {
        // A system that cannot watch it: started, and taken at its word.
        const int error = detached_process::Start(argv);
        done(error == 0 ? link_rules::kLaunched
                        : openWithBrowser(t, link_rules::LaunchError(error)));
        return;
    }
    if (watched.error != 0) {
        done(openWithBrowser(t, link_rules::LaunchError(watched.error)));
        return;
    }
    watchOpener(watched, done);
}

void HyperLink::ShowOpenError(QWidget* parent, int error)
{
    ShowMessage(parent, QString::fromStdString(link_rules::OpenErrorText(error)));
}

bool HyperLink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == control_) {
        switch (event->type()) {
        case QEvent::Enter:
            hovering_ = true;
            Repaint();
            break;
        case QEvent::Leave:
            hovering_ = false;
            Repaint();
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton
                && control_->rect().contains(mouse->position().toPoint())) {
                Activate();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
