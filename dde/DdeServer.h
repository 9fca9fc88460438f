// Publishes the three readings and their status words on the desktop bus
// while the link to the meter is up: service "QM482", topics
// "Temperatura#n", "Wilgotność#n", "Ciśnienie#n", items "Wynik", "Pomiar",
// "Status", CF_TEXT only.
#pragma once

#include "dde/PanelSource.h"
#include "platform/DdeInstance.h"

#include <array>
#include <string>

class ReadingsAdaptor;

class DdeServer {
public:
    DdeServer();
    virtual ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    // The panels are not owned and must outlive the server's running time.
    void SetPanels(
        const PanelSource* temperature, const PanelSource* humidity, const PanelSource* pressure);

    // Registers the service with topic names of this serial number. False
    // when there is no session bus or the name cannot be had.
    bool Start(long serialNumber);
    // Unregisters the service and drops every link; harmless when stopped.
    void Stop();
    // Refreshes every advise link and tells Readings1 clients; nothing while stopped.
    void NotifyAll();

    bool IsRunning() const { return instance_.isInitialized(); }
    long SerialNumber() const { return serialNumber_; }
    PanelReading Reading(int topic) const;
    // The bus layer, for observing links.
    const DdeInstance& Instance() const { return instance_; }

    // The text of an item; an item handle that is not one of ours gives "".
    std::string FormatItem(DdeHsz topic, DdeHsz item) const;

private:
    DdeReply DdeCallback(const DdeTransactionArgs& args);
    int TopicIndex(DdeHsz topic) const;
    int ItemIndex(DdeHsz item) const;
    bool ValidRequest(const DdeTransactionArgs& args) const;

    DdeInstance instance_;
    DdeHsz service_;
    std::array<DdeHsz, 3> topics_ {};
    std::array<DdeHsz, 3> items_ {};
    std::array<const PanelSource*, 3> panels_ {};
    long serialNumber_ = 0;
    ReadingsAdaptor* readings_ = nullptr;
};
