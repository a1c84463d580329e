#include "recharge/Form2.h"

namespace kelm {

Form2::Form2(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("Form2"), QStringLiteral("会员卡充值"), QSize(9765, 5040))
{
}

void Form2::load()
{
}

} // namespace kelm
