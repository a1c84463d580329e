#include "common/LibraryFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace kelm {

QString libraryFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

QString installedLibraryFolder()
{
    const QString programs = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(QDir(programs).filePath(QStringLiteral(KELM_LIBRARY_FILE))))
        return programs;
    return QDir::cleanPath(QDir(programs).filePath(QStringLiteral(KELM_LIBDIR_FROM_BINDIR)));
}

} // namespace kelm
