#include "AdviseWatcher.h"

#include "common/DdeName.h"

#include <cstdio>

AdviseWatcher::AdviseWatcher(QString topic, QString item)
    : topic_(std::move(topic))
    , item_(std::move(item))
{
}

void AdviseWatcher::OnAdvise(const QString& topic, const QString& item, const QString& text)
{
    if (!SameDdeName(topic.toStdString(), topic_.toStdString())
        || !SameDdeName(item.toStdString(), item_.toStdString()))
        return;
    const QByteArray line = text.toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
