#include "entry/Screen.h"

#include "entry/Module1.h"
#include "entry/ScreenRegistry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QGuiApplication>
#include <QScreen>

namespace kelm {

Screen::Screen(ScreenRegistry& registry, const QString& objectName, const QString& caption, QSize clientTwips)
    : QWidget(nullptr)
    , m_registry(registry)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(clientTwips.width()), twips(clientTwips.height()));
}

Module1& Screen::module()
{
    return m_registry.module();
}

void Screen::showScreen()
{
    if (!m_loaded) {
        try {
            load();
        } catch (...) {
            // The screen is not shown; what the load opened is closed again.
            m_loaded = true;
            close();
            throw;
        }
        m_loaded = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void Screen::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        m_registry.forget(this);
    }
    if (m_loaded && !m_closeStepsDone) {
        m_closeStepsDone = true;
        try {
            closeSteps();
        } catch (const std::exception&) {
            // Closing never fails: the window goes whatever its steps met.
        }
    }
    event->accept();
}

QLineEdit* Screen::addTextBox(QWidget* parent, const QString& objectName, const QString& label, int left, int top,
                              int width, int height)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(objectName);
    box->setGeometry(twips(left), twips(top), twips(width), twips(height));
    if (!label.isEmpty()) {
        auto* caption = new QLabel(label, parent);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        caption->setGeometry(twips(left) - 90, twips(top), 86, twips(height));
    }
    return box;
}

void Screen::maskWithStars(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
}

void Screen::runHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& failure) {
        module().messages().inform(QString::fromUtf8(failure.what()));
    }
}

bool Screen::runStep(const QString& leftBehind, const std::function<void()>& step, const std::function<void()>& undo)
{
    try {
        step();
        return true;
    } catch (const RefusalError& refusal) {
        if (undo)
            undo();
        module().messages().inform(QString::fromUtf8(refusal.what()));
        return false;
    } catch (const std::exception& failure) {
        if (undo)
            undo();
        module().messages().inform(leftBehind + QStringLiteral("\n") + QString::fromUtf8(failure.what()));
        return false;
    }
}

} // namespace kelm
