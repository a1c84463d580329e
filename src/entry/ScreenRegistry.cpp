#include "entry/ScreenRegistry.h"

#include "card/ReaderLibraries.h"
#include "common/LibraryFolder.h"
#include "common/WidgetMessageBoxService.h"
#include "members/Form1.h"
#include "points/Form4.h"

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
    deleteScreen(m_form1);
    deleteScreen(m_form4);
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

Form4& ScreenRegistry::form4()
{
    return createOnFirstReference(m_form4, *this);
}

Form1* ScreenRegistry::existingForm1() const
{
    return m_form1.data();
}

Form4* ScreenRegistry::existingForm4() const
{
    return m_form4.data();
}

void ScreenRegistry::forget(Screen* screen)
{
    if (m_form1 == screen)
        m_form1 = nullptr;
    if (m_form4 == screen)
        m_form4 = nullptr;
}

} // namespace kelm
