#pragma once

#include "common/MessageBoxService.h"

namespace kelm {

// Nobody sits at a benchmark: every question is answered Yes and every message goes unseen.
class QuietMessageBoxes : public MessageBoxService
{
public:
    bool show(const Message&) override { return true; }
};

} // namespace kelm
