#include "common/LibraryFolder.h"

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

} // namespace kelm
