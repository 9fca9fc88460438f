#include "common/DdeLinkTable.h"

#include <algorithm>
#include <iterator>

DdeLinkTable::DdeLinkTable(DdeStringTable& strings)
    : strings_(strings)
{
}

DdeLinkTable::~DdeLinkTable()
{
    Clear();
}

bool DdeLinkTable::Add(const DdeLink& link)
{
    const auto same = [&](const DdeLink& l) {
        return l.client == link.client && l.topic == link.topic && l.item == link.item
            && l.format == link.format;
    };
    if (std::any_of(links_.begin(), links_.end(), same))
        return false;
    if (!strings_.AddReference(link.topic))
        return false;
    if (!strings_.AddReference(link.item)) {
        strings_.Free(link.topic);
        return false;
    }
    links_.push_back(link);
    return true;
}

bool DdeLinkTable::Remove(const std::string& client, DdeHsz topic, DdeHsz item, unsigned format)
{
    const auto it = std::find_if(links_.begin(), links_.end(), [&](const DdeLink& l) {
        return l.client == client && l.topic == topic && l.item == item && l.format == format;
    });
    if (it == links_.end())
        return false;
    Release(*it);
    links_.erase(it);
    return true;
}

bool DdeLinkTable::RemoveClient(const std::string& client)
{
    const auto gone = [&](const DdeLink& l) { return l.client == client; };
    bool dropped = false;
    for (const DdeLink& link : links_) {
        if (gone(link)) {
            Release(link);
            dropped = true;
        }
    }
    links_.erase(std::remove_if(links_.begin(), links_.end(), gone), links_.end());
    return dropped;
}

bool DdeLinkTable::Clear()
{
    if (links_.empty())
        return false;
    for (const DdeLink& link : links_)
        Release(link);
    links_.clear();
    return true;
}

bool DdeLinkTable::hasClient(const std::string& client) const
{
    return std::any_of(
        links_.begin(), links_.end(), [&](const DdeLink& l) { return l.client == client; });
}

std::vector<DdeLink> DdeLinkTable::linksTo(DdeHsz topic, DdeHsz item) const
{
    std::vector<DdeLink> found;
    std::copy_if(links_.begin(), links_.end(), std::back_inserter(found),
        [&](const DdeLink& l) { return l.topic == topic && l.item == item; });
    return found;
}

void DdeLinkTable::Release(const DdeLink& link)
{
    strings_.Free(link.topic);
    strings_.Free(link.item);
}
