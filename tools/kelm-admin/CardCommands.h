#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kelm {

// The "card" commands of kelm-admin, over the simulated cards kept in cardsFolder. args are the words
// after "card": new, place SERIAL, remove, list, show SERIAL, help. Returns 0 on success, 1 after
// writing the reason to err.
int runCardCommand(const QStringList& args, const QString& cardsFolder, QTextStream& out, QTextStream& err);

} // namespace kelm
