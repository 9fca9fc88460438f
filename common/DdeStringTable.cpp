#include "common/DdeStringTable.h"

#include "common/DdeName.h"

DdeHsz DdeStringTable::Create(std::string_view text)
{
    if (text.empty())
        return {};
    std::string key = FoldDdeName(text);
    if (const auto found = byKey_.find(key); found != byKey_.end()) {
        ++atoms_[found->second].references;
        return DdeHsz { found->second };
    }
    const unsigned id = nextId_++;
    byKey_.emplace(key, id);
    atoms_.emplace(id, Atom { std::string(text), std::move(key), 1 });
    return DdeHsz { id };
}

bool DdeStringTable::AddReference(DdeHsz hsz)
{
    const auto it = atoms_.find(hsz.id);
    if (it == atoms_.end())
        return false;
    ++it->second.references;
    return true;
}

void DdeStringTable::Free(DdeHsz hsz)
{
    const auto it = atoms_.find(hsz.id);
    if (it == atoms_.end() || --it->second.references > 0)
        return;
    byKey_.erase(it->second.key);
    atoms_.erase(it);
}

void DdeStringTable::Clear()
{
    atoms_.clear();
    byKey_.clear();
}

std::string DdeStringTable::text(DdeHsz hsz) const
{
    const auto it = atoms_.find(hsz.id);
    return it == atoms_.end() ? std::string() : it->second.text;
}
