#include "accounts/AccountsPage.h"

#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

namespace kelm {

AccountsPage::AccountsPage(const QString& objectName, Module1& module, Runner run, QWidget* parent)
    : QWidget(parent)
    , m_module(module)
    , m_run(std::move(run))
{
    setObjectName(objectName);
}

void AccountsPage::whileWaiting(const std::function<void()>& read)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    read();
}

QPushButton* AccountsPage::addButton(const QString& objectName, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

QDateEdit* AccountsPage::addDateEdit(const QString& objectName, QDate date)
{
    auto* edit = new QDateEdit(date, this);
    edit->setObjectName(objectName);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    // The shops' records start long after this; a far year typed by mistake stays a date the books
    // can count days to.
    edit->setDateRange(QDate(1990, 1, 1), QDate(2099, 12, 31));
    // Room for the whole date beside the calendar button, whatever the style.
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 48);
    return edit;
}

QLineEdit* AccountsPage::addShowBox(const QString& objectName)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(objectName);
    box->setReadOnly(true);
    return box;
}

QLabel* AccountsPage::addLabel(const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(objectName);
    return label;
}

QString AccountsPage::dateText(QDate date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace kelm
