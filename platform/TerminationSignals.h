#pragma once

#include <QObject>

class QDialog;
class QSocketNotifier;

// Turns SIGTERM and SIGINT (a desktop logout, Ctrl+C in a terminal) into a
// Qt signal on the UI thread, through a self-pipe, so the program can end as
// if its window were closed and still save its settings.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool installed() const { return notifier_ != nullptr; }

    // Ends every other open dialog or box as if cancelled, innermost first,
    // then `window` like its close box (rejected), so the program ends the
    // way it does when closed and still saves its settings.
    static void EndAsIfClosed(QDialog& window);

signals:
    void terminationRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};
