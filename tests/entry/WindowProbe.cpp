// What the C host's user would see: the visible windows, and the rows of their lists.
#include <QAbstractItemView>
#include <QApplication>
#include <QWidget>

#include <cstdio>

extern "C" void probe_windows(void)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        std::printf("window %s \"%s\"\n", qPrintable(window->objectName()), window->windowTitle().toUtf8().constData());
        if (auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("ListView1"))) {
            QAbstractItemModel* model = list->model();
            std::printf("rows %d\n", model->rowCount());
            for (int row = 0; row < model->rowCount(); ++row) {
                QStringList cells;
                for (int column = 0; column < model->columnCount(); ++column)
                    cells << model->index(row, column).data().toString();
                std::printf("row %s\n", cells.join(u'|').toUtf8().constData());
            }
        }
    }
}
