#pragma once

#include <QString>
#include <QTextStream>

namespace kelm::TransferCommands {

// The tables export takes, by the word the command line names them with.
bool isExportTable(const QString& word);

// Writes a table (members, topups, redemptions or lost) to a CSV file, a header line of its column
// names first. The file appears whole or not at all, readable by its owner only.
int exportTable(const QString& configPath, const QString& table, const QString& file, QTextStream& out,
                QTextStream& err);

// Adds the members of a CSV file as exportTable writes it. Every line is checked first; while any
// is wrong, nothing is added and each wrong line is named. Then all are added in one transaction,
// each with its row in the audit when the database keeps one.
int importMembers(const QString& configPath, const QString& file, QTextStream& out, QTextStream& err);

// Copies the SQLite database to a new file while the tills may go on working. A server's database
// is backed up with the server's own tools: it says which.
int backup(const QString& configPath, const QString& file, QTextStream& out, QTextStream& err);

// Copies the shop's tables (and the audit when both keep one) to the database targetConfigPath
// names, in one transaction, and compares row counts and the sums of balances and points of both;
// the copy is kept only when they agree. A target that holds rows already is refused unless
// replace is set, which deletes them in the same transaction.
int copy(const QString& configPath, const QString& targetConfigPath, bool replace, QTextStream& out,
         QTextStream& err);

} // namespace kelm::TransferCommands
