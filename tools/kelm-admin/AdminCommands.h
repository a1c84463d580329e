#pragma once

#include <QString>
#include <QTextStream>

namespace kelm::AdminCommands {

// Creates the six tables on the database config.ini names (a new SQLite file is created) and puts
// one random card key byte into bz.
int init(const QString& configPath, QTextStream& out, QTextStream& err);

// Adds sample members and gifts.
int demo(const QString& configPath, QTextStream& out, QTextStream& err);

} // namespace kelm::AdminCommands
