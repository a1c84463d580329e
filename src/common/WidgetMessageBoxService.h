#pragma once

#include "common/MessageBoxService.h"

namespace kelm {

// Real, modal QMessageBoxes over the window the operator is working in.
class WidgetMessageBoxService : public MessageBoxService
{
public:
    bool show(const Message& message) override;
};

} // namespace kelm
