#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QTextBrowser;

// The program's manual in a window of its own: always opened at its
// start, closed with the main window.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows `page` from its start; false when it cannot be read or shown.
    bool ShowPage(const QString& page);

    // Where the manual of the program at `programPath` may lie, in order:
    // beside it, named like it, then in the data folders.
    static QStringList Candidates(const QString& programPath, const QString& installedDataDir);

    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};
