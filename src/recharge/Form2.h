#pragma once

#include "entry/Screen.h"

namespace kelm {

// The recharge dialog "会员卡充值": tops up the balance of the member whose card lies on the reader.
class Form2 : public Screen
{
    Q_OBJECT

public:
    explicit Form2(ScreenRegistry& registry);

protected:
    void load() override;
};

} // namespace kelm
