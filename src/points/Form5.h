#pragma once

#include "entry/TopLevelScreen.h"

namespace kelm {

// The gift catalogue "礼品管理": the gifts, and the commands to add, change and delete them.
class Form5 : public TopLevelScreen
{
    Q_OBJECT

public:
    explicit Form5(ScreenRegistry& registry);

protected:
    void load() override;
    void runCommand(const QString& key) override;
};

} // namespace kelm
