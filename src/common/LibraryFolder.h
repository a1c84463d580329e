#pragma once

#include <QString>

namespace kelm {

// The folder of the loaded library file itself (libkelm.so), where config.ini lives. In a program
// that links the core statically it is the program's folder.
QString libraryFolder();

} // namespace kelm
