// Publishes the three readings and their status words on the desktop bus
// while the link to the meter is up: service "QM482", topics
// "Temperatura#n", "Wilgotność#n", "Ciśnienie#n", items "Wynik", "Pomiar",
// "Status", CF_TEXT only. Each running server owns org.qm482.QM482.Meter<n>
// and queues for org.qm482.QM482, which one of them owns at a time.
#pragma once

#include "dde/PanelSource.h"
#include "dde/ReadingsSource.h"
#include "platform/DdeInstance.h"

#include <array>
#include <string>
#include <vector>

class ReadingsAdaptor;

class DdeServer : public ReadingsSource {
public:
    DdeServer();
    ~DdeServer() override;
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    // The panels are not owned and must outlive the server's running time.
    void SetPanels(
        const PanelSource* temperature, const PanelSource* humidity, const PanelSource* pressure);

    // Registers the service with topic names of this serial number. False
    // when there is no session bus, the meter's own name is taken (another
    // instance serves a meter of this number) or a program other than a
    // server of ours holds the shared name.
    bool Start(long serialNumber);
    // Unregisters the service and drops every link; harmless when stopped.
    void Stop();
    // Refreshes every advise link and tells Readings1 clients; nothing while stopped.
    void NotifyAll();

    bool isRunning() const { return instance_.isInitialized(); }
    long serialNumber() const override { return serialNumber_; }
    PanelReading reading(int topic) const override;
    const std::vector<std::string>& activeAlarms() const override { return activeAlarms_; }
    // The AlarmName of each active alarm, in the order of AlarmKind; a list
    // that differs from the last one is told to Readings1 clients at once,
    // in one PropertiesChanged. Kept while stopped, for the next start.
    void SetActiveAlarms(std::vector<std::string> names);
    // The bus layer, for observing links.
    const DdeInstance& instance() const { return instance_; }

    // The CF_TEXT data of an item: its text, cut to fit the 1024-byte buffer;
    // "" for an item handle that is not one of ours.
    std::string itemData(DdeHsz topic, DdeHsz item) const;

private:
    DdeReply DdeCallback(const DdeTransactionArgs& args);
    int topicIndex(DdeHsz topic) const;
    int itemIndex(DdeHsz item) const;
    bool validRequest(const DdeTransactionArgs& args) const;

    DdeInstance instance_;
    DdeHsz service_;
    std::array<DdeHsz, 3> topics_ {};
    std::array<DdeHsz, 3> items_ {};
    std::array<const PanelSource*, 3> panels_ {};
    long serialNumber_ = 0;
    ReadingsAdaptor* readings_ = nullptr;
    std::vector<std::string> activeAlarms_;
};
