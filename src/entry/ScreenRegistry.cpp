#include "entry/ScreenRegistry.h"

#include "accounts/Form6.h"
#include "card/ReaderLibraries.h"
#include "common/WidgetMessageBoxService.h"
#include "members/Form1.h"
#include "points/Form4.h"
#include "points/Form5.h"
#include "recharge/Form2.h"
#include "recharge/Form3.h"

namespace kelm {

namespace {

ScreenRegistry* g_installed = nullptr;

} // namespace

ScreenRegistry::ScreenRegistry(Module1::Seams seams)
    : m_ownMessages(seams.messages ? nullptr : std::make_unique<WidgetMessageBoxService>())
    , m_module([&] {
        if (!seams.messages)
            seams.messages = m_ownMessages.get();
        if (!seams.readers)
            seams.readers = &createReaderLibrary;
        return std::move(seams);
    }())
{
}

ScreenRegistry::~ScreenRegistry()
{
    // Dialogs first: their close steps reach the member screen.
    for (Slot slot : {RechargeDialog, PasswordDialog, GiftCatalogue, PointsScreen, MemberScreen, AccountsScreen}) {
        delete m_screens[slot].data();
        m_screens[slot] = nullptr;
    }
    if (g_installed == this)
        g_installed = nullptr;
}

ScreenRegistry& ScreenRegistry::instance()
{
    if (g_installed)
        return *g_installed;
    // Lives as long as the library is loaded.
    // Its config.ini is looked for at every load.
    static ScreenRegistry* library = new ScreenRegistry(Module1::Seams());
    return *library;
}

void ScreenRegistry::install(ScreenRegistry* registry)
{
    g_installed = registry;
}

template <typename Form>
Form& ScreenRegistry::screen(Slot slot)
{
    if (!m_screens[slot])
        m_screens[slot] = new Form(*this);
    return static_cast<Form&>(*m_screens[slot]);
}

void ScreenRegistry::showMemberScreen()
{
    screen<Form1>(MemberScreen).showScreen();
}

void ScreenRegistry::showPointsScreen()
{
    screen<Form4>(PointsScreen).showScreen();
}

void ScreenRegistry::showAccountsScreen()
{
    screen<Form6>(AccountsScreen).showScreen();
}

void ScreenRegistry::openRechargeDialog()
{
    screen<Form2>(RechargeDialog).showScreen();
}

void ScreenRegistry::askPassword(PasswordRoute route)
{
    screen<Form3>(PasswordDialog).ask(route);
}

void ScreenRegistry::dropPasswordRoute()
{
    if (m_screens[PasswordDialog])
        static_cast<Form3*>(m_screens[PasswordDialog].data())->ask(PasswordRoute::None, false);
}

void ScreenRegistry::showMemberOnPointsScreen(const QString& cardText, const MemberTable::Member& member)
{
    if (m_screens[PointsScreen])
        static_cast<Form4*>(m_screens[PointsScreen].data())->showMember(cardText, member);
}

void ScreenRegistry::openGiftCatalogue()
{
    screen<Form5>(GiftCatalogue).showScreen();
}

QWidget* ScreenRegistry::memberScreen() const
{
    return m_screens[MemberScreen].data();
}

void ScreenRegistry::forget(Screen* screen)
{
    for (QPointer<Screen>& slot : m_screens) {
        if (slot == screen)
            slot = nullptr;
    }
}

} // namespace kelm
