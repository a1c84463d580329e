#include "entry/ScreenRegistry.h"

#include "card/ReaderLibraries.h"
#include "common/LibraryFolder.h"
#include "common/WidgetMessageBoxService.h"
#include "members/Form1.h"
#include "points/Form4.h"
#include "points/Form5.h"
#include "recharge/Form2.h"
#include "recharge/Form3.h"

namespace kelm {

namespace {

ScreenRegistry* g_installed = nullptr;

template <typename Form>
Form& createOnFirstReference(QPointer<Form>& slot, ScreenRegistry& registry)
{
    if (!slot)
        slot = new Form(registry);
    return *slot;
}

template <typename Form>
void deleteScreen(QPointer<Form>& slot)
{
    delete slot.data();
    slot = nullptr;
}

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
    deleteScreen(m_form2);
    deleteScreen(m_form3);
    deleteScreen(m_form5);
    deleteScreen(m_form4);
    deleteScreen(m_form1);
    if (g_installed == this)
        g_installed = nullptr;
}

ScreenRegistry& ScreenRegistry::instance()
{
    if (g_installed)
        return *g_installed;
    // Lives as long as the library is loaded.
    static ScreenRegistry* library = [] {
        Module1::Seams seams;
        seams.configPath = Settings::pathIn(libraryFolder());
        return new ScreenRegistry(std::move(seams));
    }();
    return *library;
}

void ScreenRegistry::install(ScreenRegistry* registry)
{
    g_installed = registry;
}

Form1& ScreenRegistry::form1()
{
    return createOnFirstReference(m_form1, *this);
}

Form2& ScreenRegistry::form2()
{
    return createOnFirstReference(m_form2, *this);
}

Form3& ScreenRegistry::form3()
{
    return createOnFirstReference(m_form3, *this);
}

Form4& ScreenRegistry::form4()
{
    return createOnFirstReference(m_form4, *this);
}

Form5& ScreenRegistry::form5()
{
    return createOnFirstReference(m_form5, *this);
}

Form1* ScreenRegistry::existingForm1() const
{
    return m_form1.data();
}

Form2* ScreenRegistry::existingForm2() const
{
    return m_form2.data();
}

Form3* ScreenRegistry::existingForm3() const
{
    return m_form3.data();
}

Form4* ScreenRegistry::existingForm4() const
{
    return m_form4.data();
}

Form5* ScreenRegistry::existingForm5() const
{
    return m_form5.data();
}

void ScreenRegistry::forget(Screen* screen)
{
    if (m_form1 == screen)
        m_form1 = nullptr;
    if (m_form2 == screen)
        m_form2 = nullptr;
    if (m_form3 == screen)
        m_form3 = nullptr;
    if (m_form4 == screen)
        m_form4 = nullptr;
    if (m_form5 == screen)
        m_form5 = nullptr;
}

} // namespace kelm
