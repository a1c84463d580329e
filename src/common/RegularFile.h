#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelm {

// Reads the files a user or another program may put anything in place of (config.ini, the simulated
// cards): only a regular file is read, or a link to one, and only up to a bound. A pipe in its place
// would block the open until a writer comes, a device may never end, a socket or a folder has no
// content; each is refused at once, so the host's screen never waits and never fills its memory.
class RegularFile
{
public:
    // The whole content, or nothing when the file is missing, unreadable, not a regular file or larger
    // than maxBytes; error then says which.
    static std::optional<QByteArray> read(const QString& path, qint64 maxBytes, QString* error = nullptr);
};

} // namespace kelm
