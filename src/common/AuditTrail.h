#pragma once

#include "common/AuditTable.h"

namespace kelm {

// What the screens record of each change, and whether the database can keep it.
class AuditTrail
{
public:
    // Looks whether the database keeps the audit table (at each top-level screen's load). True
    // when the table is missing and the cashier has not been told so yet: the screen tells once.
    bool refresh(Database& db);
    void setWho(const AuditTable::Who& who) { m_who = who; }
    const AuditTable::Who& who() const { return m_who; }

    // Adds the entry in the caller's transaction; nothing when the database keeps no audit table.
    void record(Database& db, const AuditTable::Entry& entry) const;

private:
    AuditTable::Who m_who;
    bool m_available = true;
    bool m_told = false;
};

} // namespace kelm
