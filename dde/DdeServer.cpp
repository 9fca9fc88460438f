#include "dde/DdeServer.h"

#include "common/MeterName.h"
#include "dde/ItemText.h"
#include "dde/ReadingsAdaptor.h"
#include "resources/DdeTexts.h"

#include <utility>

namespace {

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

DdeServer::DdeServer() = default;

DdeServer::~DdeServer()
{
    Stop();
}

void DdeServer::SetPanels(
    const PanelSource* temperature, const PanelSource* humidity, const PanelSource* pressure)
{
    panels_ = { temperature, humidity, pressure };
}

bool DdeServer::Start(long serialNumber)
{
    if (instance_.isInitialized())
        Stop();
    const unsigned filters
        = CBF_FAIL_EXECUTES | CBF_FAIL_POKES | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
    if (!instance_.Initialize(
            [this](const DdeTransactionArgs& args) { return DdeCallback(args); }, filters))
        return false;
    serialNumber_ = serialNumber;
    service_ = instance_.CreateStringHandle(ToQString(texts::dde::ServiceName));
    for (int t = 0; t < 3; ++t)
        topics_[t]
            = instance_.CreateStringHandle(QString::fromStdString(TopicName(t, serialNumber)));
    for (int i = 0; i < 3; ++i)
        items_[i] = instance_.CreateStringHandle(ToQString(texts::dde::ItemNames[i]));
    readings_ = new ReadingsAdaptor(instance_.busObject(), this);
    instance_.SetServerName(QString::fromStdString(MeterServerName(serialNumber)));
    if (!instance_.NameService(service_, DdeNameService::DNS_REGISTER)) {
        // Not half running: a failed start leaves the server stopped.
        Stop();
        return false;
    }
    return true;
}

void DdeServer::Stop()
{
    if (!instance_.isInitialized())
        return;
    instance_.NameService(service_, DdeNameService::DNS_UNREGISTER);
    for (auto& item : items_) {
        instance_.FreeStringHandle(item);
        item = {};
    }
    for (auto& topic : topics_) {
        instance_.FreeStringHandle(topic);
        topic = {};
    }
    instance_.FreeStringHandle(service_);
    service_ = {};
    readings_ = nullptr; // owned by the bus object
    instance_.Uninitialize();
}

void DdeServer::NotifyAll()
{
    if (!instance_.isInitialized())
        return;
    for (const DdeHsz topic : topics_) {
        for (const DdeHsz item : items_)
            instance_.PostAdvise(topic, item);
    }
    if (readings_)
        readings_->NotifyChanged(instance_.connection());
}

void DdeServer::SetActiveAlarms(std::vector<std::string> names)
{
    if (names == activeAlarms_)
        return;
    activeAlarms_ = std::move(names);
    if (instance_.isInitialized() && readings_)
        readings_->NotifyAlarmsChanged(instance_.connection());
}

PanelReading DdeServer::reading(int topic) const
{
    if (topic < 0 || topic > 2 || panels_[topic] == nullptr)
        return PanelReading {};
    return panels_[topic]->reading();
}

int DdeServer::topicIndex(DdeHsz topic) const
{
    for (int t = 0; t < 3; ++t) {
        if (topic && topics_[t] == topic)
            return t;
    }
    return -1;
}

int DdeServer::itemIndex(DdeHsz item) const
{
    for (int i = 0; i < 3; ++i) {
        if (item && items_[i] == item)
            return i;
    }
    return -1;
}

std::string DdeServer::itemData(DdeHsz topic, DdeHsz item) const
{
    const int t = topicIndex(topic);
    const int i = itemIndex(item);
    if (t < 0 || i < 0)
        return {};
    std::string text = ItemText(t, i, reading(t));
    // CF_TEXT data never exceeds the 1024-byte buffer, terminating zero included.
    if (text.size() > 1023)
        text.resize(1023);
    return text;
}

bool DdeServer::validRequest(const DdeTransactionArgs& args) const
{
    return args.format == CF_TEXT && topicIndex(args.hsz1) >= 0 && itemIndex(args.hsz2) >= 0;
}

DdeReply DdeServer::DdeCallback(const DdeTransactionArgs& args)
{
    DdeReply reply;
    switch (args.type) {
    case DdeTransaction::XTYP_CONNECT:
        reply.ok = args.hsz2 == service_ && topicIndex(args.hsz1) >= 0;
        break;
    case DdeTransaction::XTYP_WILDCONNECT:
        // Whatever topic was asked for, all three pairs are offered.
        if ((!args.hsz1 || topicIndex(args.hsz1) >= 0) && (!args.hsz2 || args.hsz2 == service_)) {
            reply.ok = true;
            for (const DdeHsz topic : topics_)
                reply.pairs.emplace_back(service_, topic);
        }
        break;
    case DdeTransaction::XTYP_ADVSTART:
        reply.ok = validRequest(args);
        if (reply.ok)
            instance_.PostAdvise(args.hsz1, args.hsz2);
        break;
    case DdeTransaction::XTYP_REQUEST:
    case DdeTransaction::XTYP_ADVREQ:
        reply.ok = validRequest(args);
        if (reply.ok)
            reply.text = itemData(args.hsz1, args.hsz2);
        break;
    case DdeTransaction::XTYP_ADVSTOP:
        reply.ok = validRequest(args);
        break;
    }
    return reply;
}
