#pragma once

#include "entry/Screen.h"

#include <QStyle>

class QAction;
class QLabel;
class QLineEdit;
class QToolBar;

namespace kelm {

// The member screen, the points screen and the gift catalogue: a toolbar on a tiled picture whose
// buttons are the screen's commands, and a load that reads config.ini and opens the shared
// connection.
class TopLevelScreen : public Screen
{
    Q_OBJECT

public:
    TopLevelScreen(ScreenRegistry& registry, const QString& objectName, const QString& caption, QSize clientTwips);

    QAction* command(const QString& key) const;

protected:
    // A toolbar button whose key and caption are the same word.
    QAction* addCommand(const QString& key, QStyle::StandardPixmap icon);
    // The screen's command for a clicked button's key.
    virtual void runCommand(const QString& key) = 0;

    // Tiles Picture1's picture behind Toolbar1.
    void paintToolbarBackground();
    // Reads config.ini into Text7 to Text11 and the operator's name, then opens the shared
    // connection. Throws kelm::Error when the database cannot be opened.
    void loadSettingsAndConnect();
    void closeConnection();

    QToolBar* m_toolbar;
    QLabel* m_picture;
    QLineEdit* m_settingsFields[5]; // Text7 server, Text8 user, Text9 password, Text10 database, Text11 operator
};

} // namespace kelm
