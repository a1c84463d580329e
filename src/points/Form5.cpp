#include "points/Form5.h"

namespace kelm {

Form5::Form5(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form5"), QStringLiteral("礼品管理"), QSize(9600, 7200))
{
}

void Form5::load()
{
}

void Form5::runCommand(const QString&)
{
}

} // namespace kelm
