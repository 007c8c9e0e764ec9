#include "core/catalogue/holderindex.h"

#include "core/catalogue/componentholder.h"

#include <functional>

namespace {

constexpr size_t kFirstSize = 64;

}  // namespace

size_t CHolderIndex::HashOf(std::string_view name) { return std::hash<std::string_view>()(name); }

CComponentHolder* CHolderIndex::Find(std::string_view name) const
{
    if (m_Slots.empty())
        return nullptr;
    const size_t hash = HashOf(name);
    const size_t mask = m_Slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_Slots[i];
        if (!slot.holder)
            return nullptr;
        if (slot.hash == hash && slot.holder->GetName() == name)
            return slot.holder;
    }
}

void CHolderIndex::Add(CComponentHolder* holder)
{
    if ((m_Count + 1) * 4 > m_Slots.size() * 3)
        Grow();
    Place(Slot{HashOf(holder->GetName()), holder});
    ++m_Count;
}

void CHolderIndex::Clear()
{
    m_Slots.clear();
    m_Count = 0;
}

void CHolderIndex::Place(const Slot& slot)
{
    const size_t mask = m_Slots.size() - 1;
    size_t i = slot.hash & mask;
    while (m_Slots[i].holder)
        i = (i + 1) & mask;
    m_Slots[i] = slot;
}

void CHolderIndex::Grow()
{
    std::vector<Slot> old(m_Slots.empty() ? kFirstSize : m_Slots.size() * 2);
    old.swap(m_Slots);
    for (const Slot& slot : old)
        if (slot.holder)
            Place(slot);
}
