#pragma once

#include <QString>

namespace kelm {

// Removes leading and trailing blanks (the space character only; tabs and other white space stay),
// as the screens trim what was typed before they store it.
inline QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// Removes trailing blanks only: how a card number is compared.
inline QString trimTrailingBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

} // namespace kelm
