#pragma once

#include <QString>

namespace kelm {

// One benchmark database in a folder of its own, with the config.ini that names it.
struct BenchDatabase
{
    QString folder;
    QString configPath;
    QString databasePath;
    int members = 0;
    int gifts = 0;
    int topUps = 0; // rows of qzjl; lpdhjr holds a quarter as many, gs a thousandth
    // On a PostgreSQL server ("host:port") instead of the SQLite file, in this database.
    QString server;
    QString serverDatabase;
};

// The benchmark databases, made once and kept: a database already in the folder is used as it
// is, so only the first run pays for making a million members. Rows look like a shop's: 13-digit
// card numbers, Chinese names and addresses, 18-digit ID numbers with their check digit, mobile
// numbers, balances with cents and whole points, always the same for the same size.
class BenchData
{
public:
    explicit BenchData(QString folder);

    // count members and a few gifts.
    BenchDatabase members(int count);
    // count gifts and a few members.
    BenchDatabase gifts(int count);
    // count members with a year of shop history: count top-ups over 2026 written by tills with
    // different short date forms, redemptions, lost cards.
    BenchDatabase books(int count);

private:
    BenchDatabase ensure(const QString& name, int members, int gifts, int topUps = 0);
    void make(const QString& folder, int members, int gifts, int topUps);

    QString m_folder;
};

} // namespace kelm
