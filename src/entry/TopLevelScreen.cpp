#include "entry/TopLevelScreen.h"

#include "entry/Module1.h"
#include "entry/ScreenRegistry.h"
#include "common/ToolbarSkin.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolBar>

namespace kelm {

TopLevelScreen::TopLevelScreen(ScreenRegistry& registry, const QString& objectName, const QString& caption,
                               QSize clientTwips)
    : Screen(registry, objectName, caption, clientTwips)
    , m_toolbar(new QToolBar(this))
    , m_picture(new QLabel(this))
{
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setAutoFillBackground(true);
    m_toolbar->setGeometry(0, 0, width(), 60);
    connect(m_toolbar, &QToolBar::actionTriggered, this,
            [this](QAction* action) { runCommand(action->data().toString()); });

    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setPixmap(ToolbarSkin::picture());
    m_picture->hide();

    for (int i = 0; i < 5; ++i) {
        m_settingsFields[i] = new QLineEdit(this);
        m_settingsFields[i]->setObjectName(QStringLiteral("Text%1").arg(7 + i));
        m_settingsFields[i]->hide();
    }
}

namespace {

// A caption sits right under its button's picture, so every picture takes the toolbar's full icon
// size: one the style has only smaller (its drive icons come at 16 pixels) is centred on a clear
// square of that size, and the captions of the row line up.
QIcon fullSizeIcon(const QIcon& icon, QSize size)
{
    const QPixmap picture = icon.pixmap(size);
    if (picture.size() == size)
        return icon;
    QPixmap square(size);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawPixmap((size.width() - picture.width()) / 2, (size.height() - picture.height()) / 2, picture);
    painter.end();
    return QIcon(square);
}

} // namespace

QAction* TopLevelScreen::addCommand(const QString& key, QStyle::StandardPixmap icon)
{
    QAction* action = m_toolbar->addAction(fullSizeIcon(style()->standardIcon(icon), m_toolbar->iconSize()), key);
    action->setObjectName(key);
    action->setData(key);
    return action;
}

QAction* TopLevelScreen::command(const QString& key) const
{
    for (QAction* action : m_toolbar->actions()) {
        if (action->data().toString() == key)
            return action;
    }
    return nullptr;
}

void TopLevelScreen::paintToolbarBackground()
{
    ToolbarSkin::paintToolbarBackground(m_toolbar, m_picture->pixmap());
}

void TopLevelScreen::loadSettingsAndConnect()
{
    Module1& shared = module();
    const Settings settings = shared.loadSettings();
    const QString values[5] = {settings.server, settings.user, settings.password, settings.database,
                               settings.operatorName};
    for (int i = 0; i < 5; ++i)
        m_settingsFields[i]->setText(values[i]);
    // The screen's class identifies it as a holder of the connection across its reloads.
    const ConnectionSettings connection = settings.connection();
    shared.sharedConnection().open(connection, metaObject());
    Database& db = shared.database();
    shared.pinTries().refresh(db);
    if (shared.audit().refresh(db)) {
        shared.messages().inform(QStringLiteral("这个数据库没有审计表 kelm_audit：余额、积分、会员和礼品的改动不会留下记录。"
                                                "请管理员运行 kelm-admin upgrade。"));
    }
    for (const QString& warning : shared.exposureWarnings(settings, connection))
        shared.messages().inform(warning);
}

void TopLevelScreen::closeConnection()
{
    module().sharedConnection().close(metaObject());
}

} // namespace kelm
