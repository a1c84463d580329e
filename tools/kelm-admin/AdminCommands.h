#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kelm::AdminCommands {

// Creates the six tables on the database config.ini names (a new SQLite file is created) and puts
// one random card key byte into bz.
int init(const QString& configPath, QTextStream& out, QTextStream& err);

// Lists what the tills would refuse to work with: card numbers that more than one member holds.
// Returns 1 when there are any.
int check(const QString& configPath, QTextStream& out, QTextStream& err);

// Brings a database made by an older kelm-admin, or by the shop's first tills, up to this
// version's schema. Refuses while card numbers are shared (see check).
int upgrade(const QString& configPath, QTextStream& out, QTextStream& err);

// Prints the audit, newest first: every change, or those of one card number.
int audit(const QString& configPath, const QString& cardNumber, QTextStream& out, QTextStream& err);

// Prints the day report of one day (YYYY-MM-DD; empty: today): top-ups per operator, redemptions per
// gift, the totals, and the rows whose date no report can read.
int reportDay(const QString& configPath, const QString& day, QTextStream& out, QTextStream& err);

// Writes a new config.ini from KEY=VALUE words (the keys of config.ini; 操作员 goes to section dqcz),
// in UTF-8 and readable by its owner only. A configuration that names a server gets 加密=verify-full
// and every one 允许负数充值=否, unless given otherwise. Refuses keys it does not know, values a till
// would cut or refuse, and an existing file unless replace is set.
int configure(const QString& configPath, const QStringList& assignments, bool replace, QTextStream& out,
              QTextStream& err);

// Adds sample members and gifts.
int demo(const QString& configPath, QTextStream& out, QTextStream& err);

} // namespace kelm::AdminCommands
