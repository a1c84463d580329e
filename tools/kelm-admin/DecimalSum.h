#pragma once

#include "common/Database.h"

#include <QString>

#include <string_view>
#include <vector>

namespace kelm {

// The exact sum of decimal numbers, however many and however long: what a database's balances
// add up to, to compare one database with its copy digit for digit. A double would round, and a
// copy that lost a fen could pass for one that did not.
class DecimalSum
{
public:
    // Adds a number written as digits with an optional sign, point and exponent, blanks around it
    // allowed ("150", "-0.5", "1.5E+15"). False, adding nothing, for any other text.
    bool add(std::string_view number);
    // Adds a cell's value as the database holds it: a whole number and a server's digits exactly, a
    // double as the shortest digits that read back as it (what a server given that double keeps).
    // NULL and text that is no number add nothing, as SQL's sum() leaves them out.
    void add(const Cell& cell);

    // Plain digits without an exponent or trailing fraction zeros: "0", "-12.5", "1500".
    QString toText() const;

    friend bool operator==(const DecimalSum& a, const DecimalSum& b) { return a.toText() == b.toText(); }

private:
    // m_places[i] sums the digits that stand for 10^(m_lowest + i). Each digit adds at most 9, so
    // no place overflows before 10^18 numbers.
    std::vector<qint64> m_places;
    int m_lowest = 0;
};

} // namespace kelm
