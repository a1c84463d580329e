#pragma once

#include <QByteArray>
#include <QString>

namespace kelm::TextCodec {

// GBK (read as GB18030, its superset) to and from Unicode. Bytes that are no valid character
// become U+FFFD instead of failing.
QString fromGbk(const QByteArray& bytes);
QByteArray toGbk(const QString& text);

// True when the bytes are well-formed UTF-8 (plain ASCII included).
bool isUtf8(const QByteArray& bytes);

// The length of the longest prefix of at most maxBytes bytes that ends on a character boundary.
qsizetype utf8Prefix(const QByteArray& bytes, qsizetype maxBytes);
qsizetype gbkPrefix(const QByteArray& bytes, qsizetype maxBytes);

} // namespace kelm::TextCodec
