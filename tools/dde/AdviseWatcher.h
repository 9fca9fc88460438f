// Prints each advise of one item until interrupted or the service goes away.
#pragma once

#include <QObject>
#include <QString>

class AdviseWatcher : public QObject {
    Q_OBJECT

public:
    AdviseWatcher(QString topic, QString item);

public slots:
    void OnAdvise(const QString& topic, const QString& item, const QString& text);
    // The connection's own "Disconnected": the bus itself went away.
    void OnDisconnected() { emit busLost(); }

signals:
    void busLost();

private:
    QString topic_;
    QString item_;
};
