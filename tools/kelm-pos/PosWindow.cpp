#include "PosWindow.h"

#include "ReaderPanel.h"

#include "common/LibraryFolder.h"
#include "common/Settings.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

PosWindow::PosWindow()
{
    setWindowTitle(QStringLiteral("Qelvo通用收银系统 — 演示收银台"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* title = new QLabel(QStringLiteral("收银台 1 号"), central);
    title->setAlignment(Qt::AlignCenter);
    QFont font = title->font();
    font.setPointSize(font.pointSize() + 6);
    title->setFont(font);
    layout->addWidget(title);

    auto* members = new QPushButton(QStringLiteral("会员管理"), central);
    members->setObjectName(QStringLiteral("members"));
    members->setMinimumHeight(48);
    connect(members, &QPushButton::clicked, this, [this] { call(&kelm::Class1::kelm); });
    layout->addWidget(members);

    auto* points = new QPushButton(QStringLiteral("积分管理"), central);
    points->setObjectName(QStringLiteral("points"));
    points->setMinimumHeight(48);
    connect(points, &QPushButton::clicked, this, [this] { call(&kelm::Class1::jfgl); });
    layout->addWidget(points);

    auto* accounts = new QPushButton(QStringLiteral("会员账目"), central);
    accounts->setObjectName(QStringLiteral("accounts"));
    accounts->setMinimumHeight(48);
    connect(accounts, &QPushButton::clicked, this, [this] { call(&kelm::Class1::zmcx); });
    layout->addWidget(accounts);

    // The cards folder of the config.ini the library uses, where the simulated reader looks. Without
    // one, the member screen tells what is missing; the panel shows the folder beside the library.
    const QString library = kelm::installedLibraryFolder();
    QString configPath;
    try {
        configPath = kelm::Settings::locate(library);
    } catch (const kelm::Error&) {
        configPath = kelm::Settings::candidates(library).constFirst();
    }
    const kelm::Settings settings = kelm::Settings::load(configPath);
    layout->addWidget(new ReaderPanel(settings.cardsPath(), central));

    setCentralWidget(central);
    resize(360, 520);
}

void PosWindow::call(bool (kelm::Class1::*method)(bool))
{
    try {
        (m_membership.*method)(true);
    } catch (const kelm::Error& failure) {
        QMessageBox::warning(this, windowTitle(), QString::fromUtf8(failure.what()));
    }
}
