#include "common/WidgetMessageBoxService.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace kelm {

bool WidgetMessageBoxService::show(const Message& message)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(message.caption);
    // Messages carry what a cashier typed or another program stored (a gift's name, a points
    // text): it is shown as it is, never taken as markup that could hide text or load a file.
    box.setTextFormat(Qt::PlainText);
    box.setText(message.text);
    box.setIcon(message.icon == Message::Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon);
    if (message.buttons == Message::Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

QString WidgetMessageBoxService::saveFileName(const QString& caption, const QString& suggestedName,
                                             const QString& filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption,
                                        QDir::home().filePath(suggestedName), filter);
}

} // namespace kelm
