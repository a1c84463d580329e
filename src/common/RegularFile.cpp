#include "common/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelm {

namespace {

std::optional<QByteArray> fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

std::optional<QByteArray> readOpened(int fd, qint64 maxBytes, QString* error)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return fail(error, qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return fail(error, QStringLiteral("not a regular file"));
    const QString tooLarge = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    if (info.st_size > maxBytes)
        return fail(error, tooLarge);

    // One byte beyond the bound is asked for, so a file that grows while it is read is still refused.
    QByteArray bytes(std::min<qint64>(info.st_size, maxBytes) + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total > maxBytes)
                return fail(error, tooLarge);
            bytes.resize(std::min<qint64>(bytes.size() * 2, maxBytes + 1));
        }
        const ssize_t count = ::read(fd, bytes.data() + total, static_cast<size_t>(bytes.size() - total));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return fail(error, qt_error_string(errno));
        if (count == 0)
            break;
        total += count;
    }
    bytes.truncate(total);
    return bytes;
}

} // namespace

std::optional<QByteArray> RegularFile::read(const QString& path, qint64 maxBytes, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    // A device is not even opened when it can be told beforehand: opening some has effects of their own.
    struct stat info;
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return fail(error, QStringLiteral("not a regular file"));
    // Whatever was put in its place since is told by the opened descriptor; O_NONBLOCK opens a pipe at
    // once instead of waiting for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(error, qt_error_string(errno));
    std::optional<QByteArray> content = readOpened(fd, maxBytes, error);
    ::close(fd);
    return content;
}

} // namespace kelm
