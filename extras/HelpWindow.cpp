#include "extras/HelpWindow.h"

#include "resources/AuxiliaryTexts.h"

#include <QFileInfo>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QString::fromUtf8(texts::aux::kHelpCaption));
    setObjectName(QStringLiteral("help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    resize(620, 500);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

bool HelpWindow::ShowPage(const QString& page)
{
    const QFileInfo info(page);
    if (page.isEmpty() || !info.isFile() || !info.isReadable())
        return false;
    browser_->clearHistory();
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    if (browser_->document()->isEmpty())
        return false;
    browser_->verticalScrollBar()->setValue(0);
    show();
    raise();
    activateWindow();
    return true;
}

QStringList HelpWindow::Candidates(const QString& programPath, const QString& installedDataDir)
{
    const QFileInfo program(programPath);
    const QString name = program.fileName() + QStringLiteral(".html");
    QStringList pages { program.absolutePath() + QLatin1Char('/') + name,
        program.absolutePath() + QStringLiteral("/../share/qm482/") + name };
    if (!installedDataDir.isEmpty())
        pages << installedDataDir + QLatin1Char('/') + name;
    return pages;
}
