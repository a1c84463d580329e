#pragma once

#include <QDate>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelm {

class Module1;

// One page of the accounts screen. It reads its figures through the books when the owner asks, and
// can give what it shows as rows of a CSV file.
class AccountsPage : public QWidget
{
    Q_OBJECT

public:
    // Runs a command of the page as the screen runs its commands: a failure the command does not
    // handle itself (a database that broke off) is shown as a message, and the page stays usable.
    using Runner = std::function<void(const std::function<void()>&)>;

    AccountsPage(const QString& objectName, Module1& module, Runner runner, QWidget* parent = nullptr);

    // What the page shows now, row by row; empty while it shows nothing.
    virtual QList<QStringList> exportRows() const = 0;
    // The page's name in the name offered for the file.
    virtual QString exportName() const = 0;
    // The page has become the one shown.
    virtual void opened() {}

protected:
    Module1& module() { return m_module; }
    void run(const std::function<void()>& command) { m_run(command); }
    // Reading a report over a million rows takes a moment: the cursor says so meanwhile.
    static void whileWaiting(const std::function<void()>& read);

    QPushButton* addButton(const QString& objectName, const QString& caption);
    QDateEdit* addDateEdit(const QString& objectName, QDate date);
    // A box that shows a figure or a member's data and takes no typing.
    QLineEdit* addShowBox(const QString& objectName);
    QLabel* addLabel(const QString& objectName, const QString& text = {});

    static QString dateText(QDate date);

private:
    Module1& m_module;
    Runner m_run;
};

} // namespace kelm
