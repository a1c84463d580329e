#pragma once

#include "common/Database.h"

#include <optional>

namespace kelm {

// A number column as a row holds it: the text the screens show, the value they compute with, and the
// stored value itself, which a write hands back to change the row only while it still holds it.
class StoredNumber
{
public:
    StoredNumber() = default;
    static StoredNumber from(const Cell& cell);
    // The number a statement just wrote as this text: the column holds the text's value.
    static StoredNumber written(const QString& text);

    bool isNull() const { return std::holds_alternative<std::monostate>(m_stored); }
    // The standard value-to-text conversion; empty for NULL.
    const QString& text() const { return m_text; }
    // No value for NULL or for text that is no number.
    std::optional<double> value() const { return m_value; }
    const SqlParam& stored() const { return m_stored; }

private:
    SqlParam m_stored;
    QString m_text;
    std::optional<double> m_value;
};

} // namespace kelm
