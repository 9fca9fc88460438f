// The advise links of the data service: which client wants which item of
// which topic, in which format. A link holds a reference on its topic and
// item handles for as long as it lives.
#pragma once

#include "common/DdeStringTable.h"

#include <string>
#include <vector>

struct DdeLink {
    std::string client; // the client's unique bus name
    DdeHsz topic;
    DdeHsz item;
    unsigned format = 0;
    std::string topicText; // as the client spelled them
    std::string itemText;
};

class DdeLinkTable {
public:
    explicit DdeLinkTable(DdeStringTable& strings);
    ~DdeLinkTable();
    DdeLinkTable(const DdeLinkTable&) = delete;
    DdeLinkTable& operator=(const DdeLinkTable&) = delete;

    // Adds the link unless the client has it already; true when added.
    bool Add(const DdeLink& link);
    // Ends the client's link to (topic, item, format); false when it has none.
    bool Remove(const std::string& client, DdeHsz topic, DdeHsz item, unsigned format);
    // Ends every link of the client; false when it had none.
    bool RemoveClient(const std::string& client);
    // Ends every link; false when there was none.
    bool Clear();

    bool hasClient(const std::string& client) const;
    // A copy: answering one link may change the table.
    std::vector<DdeLink> linksTo(DdeHsz topic, DdeHsz item) const;
    int size() const { return static_cast<int>(links_.size()); }

private:
    void Release(const DdeLink& link);

    DdeStringTable& strings_;
    std::vector<DdeLink> links_;
};
