#pragma once

#include <QString>

namespace kelm {

// The folder of the loaded library file itself (libkelm.so), where config.ini lives. In a program
// that links the core statically it is the program's folder.
QString libraryFolder();

// For the programs that come with the library (kelm-admin, kelm-pos): the folder libkelm.so is in,
// whether it lies beside them (a build folder, a till that keeps everything in one folder) or in
// the library folder of the installation they belong to.
QString installedLibraryFolder();

} // namespace kelm
