// One (service, topic) pair of a wild connect: the D-Bus structure (ss).
#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

struct DdeTopicPair {
    QString service;
    QString topic;
};
Q_DECLARE_METATYPE(DdeTopicPair)

inline QDBusArgument& operator<<(QDBusArgument& argument, const DdeTopicPair& pair)
{
    argument.beginStructure();
    argument << pair.service << pair.topic;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, DdeTopicPair& pair)
{
    argument.beginStructure();
    argument >> pair.service >> pair.topic;
    argument.endStructure();
    return argument;
}

// Registers DdeTopicPair and its list with the D-Bus type system; idempotent.
void RegisterDdeTopicPair();
