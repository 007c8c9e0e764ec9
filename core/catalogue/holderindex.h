#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class CComponentHolder;

/// The holders of a catalogue by name. An open table of (hash, holder) pairs: a look-up reads
/// a short run of neighbouring slots and touches a holder only when the hashes match, and
/// growing moves the stored hashes without touching any holder. A node-based map spread its
/// entries among tens of thousands of records, and every look-up and every growth went to
/// memory. Holders are only added, never removed one by one. Not owning.
class CHolderIndex {
public:
    /// The holder named name, or null.
    CComponentHolder* Find(std::string_view name) const;
    /// Adds holder, whose name is not in the index yet.
    void Add(CComponentHolder* holder);
    void Clear();

private:
    struct Slot {
        size_t hash = 0;
        CComponentHolder* holder = nullptr;   // null: free
    };
    static size_t HashOf(std::string_view name);
    void Place(const Slot& slot);
    void Grow();

    std::vector<Slot> m_Slots;   // a power of two in size, at most three quarters taken
    size_t m_Count = 0;
};
