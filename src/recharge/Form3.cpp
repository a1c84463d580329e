#include "recharge/Form3.h"

namespace kelm {

Form3::Form3(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("Form3"), QStringLiteral("密码验证"), QSize(6390, 2880))
{
}

void Form3::load()
{
}

} // namespace kelm
