#pragma once

#include "common/Module1.h"

#include <QPointer>

#include <memory>

namespace kelm {

class Form1;
class Form2;
class Form3;
class Form4;
class Form5;
class Screen;

// Holds the shared state and the one instance of each screen, created on first reference. Screens
// reach one another only through here.
class ScreenRegistry
{
public:
    explicit ScreenRegistry(Module1::Seams seams);
    ~ScreenRegistry();
    ScreenRegistry(const ScreenRegistry&) = delete;
    ScreenRegistry& operator=(const ScreenRegistry&) = delete;

    // The registry the host's Class1 objects use: the one installed, or else one reading
    // config.ini beside the library and showing real message boxes.
    static ScreenRegistry& instance();
    // Makes registry the one Class1 uses (null: back to the default).
    static void install(ScreenRegistry* registry);

    Module1& module() { return m_module; }

    Form1& form1();
    Form2& form2();
    Form3& form3();
    Form4& form4();
    Form5& form5();
    // The screen when it exists, else null (nothing is created).
    Form1* existingForm1() const;
    Form2* existingForm2() const;
    Form3* existingForm3() const;
    Form4* existingForm4() const;
    Form5* existingForm5() const;

    // Called by a screen that is being unloaded: its next reference creates a fresh one.
    void forget(Screen* screen);

private:
    std::unique_ptr<MessageBoxService> m_ownMessages;
    Module1 m_module;
    QPointer<Form1> m_form1;
    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    QPointer<Form4> m_form4;
    QPointer<Form5> m_form5;
};

} // namespace kelm
