// The string handles of the data service: a name becomes a small number
// that the transactions carry. Names that differ only in letter case (as
// FoldDdeName folds them) share one handle, which keeps the spelling it was
// first made with. Each Create or AddReference is balanced by one Free.
#pragma once

#include <map>
#include <string>
#include <string_view>

// A string handle. The null handle means "not given".
struct DdeHsz {
    unsigned id = 0;
    explicit operator bool() const { return id != 0; }
    friend bool operator==(DdeHsz a, DdeHsz b) { return a.id == b.id; }
};

class DdeStringTable {
public:
    // The handle of the name, one reference more; null for an empty name.
    DdeHsz Create(std::string_view text);
    // One reference more on a handle that exists; false otherwise.
    bool AddReference(DdeHsz hsz);
    // One reference less; the handle is gone with its last reference.
    void Free(DdeHsz hsz);
    void Clear();

    // The name as first spelled (UTF-8); "" for a handle that is gone.
    std::string text(DdeHsz hsz) const;
    int size() const { return static_cast<int>(atoms_.size()); }

private:
    struct Atom {
        std::string text;
        std::string key;
        int references = 0;
    };

    std::map<unsigned, Atom> atoms_;
    std::map<std::string, unsigned, std::less<>> byKey_;
    // Handles are never reused, so a stale one cannot name a later string.
    unsigned nextId_ = 1;
};
