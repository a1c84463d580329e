#pragma once

#include "common/MessageBoxService.h"

namespace kelm {

// Real, modal QMessageBoxes and file dialogs over the window the operator is working in.
class WidgetMessageBoxService : public MessageBoxService
{
public:
    bool show(const Message& message) override;
    // The platform's save dialog, which asks itself before a file is replaced.
    QString saveFileName(const QString& caption, const QString& suggestedName, const QString& filter) override;
};

} // namespace kelm
