// A till program with a Qt event loop of its own: it shows the member screen through libkelm.so,
// names the window that came up, and quits after the given seconds (60 when not given).
#include <kelm/Class1.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;

    kelm::Class1 membership;
    try {
        membership.kelm(true);
    } catch (const kelm::Error& failure) {
        std::fprintf(stderr, "kelm %s: %s\n", kelm::version(), failure.what());
        return 1;
    }
    // The screen is modeless: the call has returned, and the host's own loop drives it from here.
    QTimer::singleShot(0, [] {
        for (const QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                std::printf("kelm %s: window \"%s\" is shown\n", kelm::version(), qPrintable(window->windowTitle()));
        }
        std::fflush(stdout);
    });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
