// kelm-pos: the demo cash-register host.
#include "PosWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PosWindow window;
    window.move(40, 40);
    window.show();
    return app.exec();
}
