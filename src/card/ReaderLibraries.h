#pragma once

#include "card/ReaderLibrary.h"
#include "common/Settings.h"

#include <memory>

namespace kelm {

// The reader library config.ini names: the simulated reader over the cards folder by default.
// Throws kelm::Error for a name it does not know.
std::unique_ptr<ReaderLibrary> createReaderLibrary(const Settings& settings);

} // namespace kelm
