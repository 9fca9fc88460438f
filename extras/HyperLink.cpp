#include "extras/HyperLink.h"

#include "extras/DetachedProcess.h"
#include "extras/LinkRules.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QUrl>

#include <cstdlib>

namespace {

HyperLink::DefaultHandler& defaultHandler()
{
    static HyperLink::DefaultHandler handler;
    return handler;
}

bool openWithDesktop(const QUrl& url)
{
    const auto& handler = defaultHandler();
    return handler ? handler(url) : QDesktopServices::openUrl(url);
}

// The registered browser command, started without a shell; the shell's
// own result when there is none.
int openWithBrowser(const std::string& target, int shellResult)
{
    const char* path = std::getenv("PATH");
    const auto directories = link_rules::PathDirectories(path != nullptr ? path : "/usr/bin:/bin");
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

void HyperLink::Activate()
{
    const int result = OpenLink(link_);
    visited_ = result > 32;
    if (visited_) {
        MarkVisited(true);
        return;
    }
    QApplication::beep();
    QWidget* parent = control_ != nullptr ? control_->window() : QApplication::activeWindow();
    ShowOpenError(parent, result);
}

int HyperLink::OpenLink(const QString& target)
{
    if (openWithDesktop(QUrl(target)))
        return link_rules::kLaunched;
    // xdg-open has no failure number of its own to pass on.
    return openWithBrowser(target.toStdString(), link_rules::kNoAssociation);
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
