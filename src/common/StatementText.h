#pragma once

#include "common/Database.h"

#include <string>
#include <string_view>

namespace kelm {

// The screens write every statement once, in the form the shop's SQL Server databases have always
// taken: square brackets around some table names and "?" for each bound value. Each engine gets that
// text turned into its own form here, so no table or screen code knows which engine it runs on.
class StatementText
{
public:
    enum class Placeholders { Question, Numbered };

    // Brackets become double-quoted identifiers for PostgreSQL; with Numbered, the n-th "?" becomes
    // "$n" (libpq's form); SQL Server gets the card number column bare where the others compare it
    // without trailing blanks. Quoted literals, quoted identifiers and comments are copied unchanged.
    static std::string translate(std::string_view sql, Engine engine, Placeholders placeholders);
};

} // namespace kelm
