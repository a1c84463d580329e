#include "common/StatementText.h"

namespace kelm {

std::string StatementText::translate(std::string_view sql, Engine engine, Placeholders placeholders)
{
    // SQLite and SQL Server both read brackets as identifier quotes; only PostgreSQL needs them changed.
    const bool quoteBrackets = engine == Engine::PostgreSql || engine == Engine::PostgreSqlOdbc;
    // SQL Server compares text without trailing blanks already: the bare card number column lets
    // its index serve the lookup.
    constexpr std::string_view TrimmedCard = "rtrim(卡号)";
    const bool bareCard = engine == Engine::SqlServer;
    std::string out;
    out.reserve(sql.size() + 8);
    int parameter = 0;
    std::size_t i = 0;
    const auto copyQuoted = [&](char close) {
        // A doubled closing quote is part of the quoted text, so the loop simply continues past it.
        out += sql[i++];
        while (i < sql.size()) {
            out += sql[i];
            if (sql[i++] == close)
                return;
        }
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            copyQuoted(c);
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
            out.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '[' && quoteBrackets) {
            const std::size_t end = sql.find(']', i + 1);
            if (end == std::string_view::npos) {
                out.append(sql.substr(i));
                break;
            }
            out += '"';
            for (const char n : sql.substr(i + 1, end - i - 1)) {
                if (n == '"')
                    out += '"';
                out += n;
            }
            out += '"';
            i = end + 1;
        } else if (c == '[') {
            const std::size_t end = sql.find(']', i + 1);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
            out.append(sql.substr(i, stop - i));
            i = stop;
        } else if (bareCard && sql.substr(i).starts_with(TrimmedCard)) {
            out += "卡号";
            i += TrimmedCard.size();
        } else if (c == '?' && placeholders == Placeholders::Numbered) {
            out += '$';
            out += std::to_string(++parameter);
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace kelm
