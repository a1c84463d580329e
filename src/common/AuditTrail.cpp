#include "common/AuditTrail.h"

namespace kelm {

bool AuditTrail::refresh(Database& db)
{
    m_available = AuditTable::exists(db);
    if (m_available || m_told)
        return false;
    m_told = true;
    return true;
}

void AuditTrail::record(Database& db, const AuditTable::Entry& entry) const
{
    if (m_available)
        AuditTable::insert(db, m_who, entry);
}

} // namespace kelm
