#include "entry/HostApplication.h"

#include <kelm/Error.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QThread>

#include <dlfcn.h>

namespace kelm {

namespace {

// The display servers are asked through their client libraries, loaded for the question alone: the
// library itself links none of them.
bool xServerAnswers()
{
    void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return false;
    const auto connect = reinterpret_cast<void* (*)(const char*, int*)>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<int (*)(void*)>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<void (*)(void*)>(::dlsym(xcb, "xcb_disconnect"));
    bool answers = false;
    if (connect && hasError && disconnect) {
        // A failed connection is an object too, one that reports its error and may be disconnected.
        void* connection = connect(nullptr, nullptr);
        answers = hasError(connection) == 0;
        disconnect(connection);
    }
    ::dlclose(xcb);
    return answers;
}

bool waylandServerAnswers()
{
    void* client = ::dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!client)
        return false;
    const auto connect = reinterpret_cast<void* (*)(const char*)>(::dlsym(client, "wl_display_connect"));
    const auto disconnect = reinterpret_cast<void (*)(void*)>(::dlsym(client, "wl_display_disconnect"));
    void* connection = connect && disconnect ? connect(nullptr) : nullptr;
    if (connection)
        disconnect(connection);
    ::dlclose(client);
    return connection != nullptr;
}

// Qt passes over a platform it finds no plugin for. It looks in QT_QPA_PLATFORM_PLUGIN_PATH and in
// "platforms" below the folders of QT_PLUGIN_PATH, Qt's own plugin folder and the program's folder;
// the plugin for "name" is libqname.so, any of libqwayland-*.so for the Wayland ones.
bool pluginInstalled(const QString& name)
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath)
            << QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    for (QString& folder : folders)
        folder += QStringLiteral("/platforms");
    folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    const QString fileName = QStringLiteral("libq%1.so").arg(name);
    for (const QString& folder : std::as_const(folders)) {
        if (folder.isEmpty())
            continue;
        for (const QString& file : QDir(folder).entryList(QDir::Files)) {
            if (name.startsWith(u"wayland") ? file.startsWith(u"libqwayland") : file == fileName)
                return true;
        }
    }
    return false;
}

// The platforms QApplication tries, in its order, until one starts: the list in QT_QPA_PLATFORM when
// it is set; else xcb, after Wayland when the session is a Wayland one.
QStringList platformsToTry()
{
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!chosen.isEmpty())
        return chosen.split(u';');
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland")
        return { QStringLiteral("wayland"), QStringLiteral("xcb") };
    return { QStringLiteral("xcb") };
}

// Why QApplication could start no platform, or the empty text when it can start one.
QString displayProblem()
{
    QStringList reasons;
    for (const QString& platform : platformsToTry()) {
        // "name:argument,..."; Qt matches the name in lower case.
        const QString name = platform.section(u':', 0, 0).trimmed().toLower();
        if (name.isEmpty())
            continue;
        if (!pluginInstalled(name)) {
            reasons << QStringLiteral("没有安装 Qt 平台插件“%1”").arg(name);
        } else if (name == u"xcb") {
            if (xServerAnswers())
                return {};
            const QString display = qEnvironmentVariable("DISPLAY");
            reasons << (display.isEmpty() ? QStringLiteral("没有设置 DISPLAY 环境变量，找不到 X 显示服务器")
                                          : QStringLiteral("连接不上 X 显示服务器“%1”").arg(display));
        } else if (name.startsWith(u"wayland")) {
            if (waylandServerAnswers())
                return {};
            reasons << QStringLiteral("连接不上 Wayland 显示服务器");
        } else {
            // offscreen, minimal, vnc and the like draw without a display server.
            return {};
        }
    }
    if (reasons.isEmpty())
        reasons << QStringLiteral("QT_QPA_PLATFORM 没有指定平台");
    return QStringLiteral("无法显示窗口：%1。").arg(reasons.join(QStringLiteral("；")));
}

} // namespace

void HostApplication::require()
{
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        throw Error("宿主程序没有创建 QApplication 对象，无法显示窗口。");
    if (!qobject_cast<const QApplication*>(application))
        throw Error("宿主程序的 Qt 应用对象不是 QApplication，无法显示窗口。");
    if (QThread::currentThread() != application->thread())
        throw Error("只能在宿主程序的 QApplication 所在的线程中调用。");
}

void HostApplication::ensure()
{
    if (!QCoreApplication::instance()) {
        if (const QString problem = displayProblem(); !problem.isEmpty())
            throw Error(problem.toStdString());
        static int argc = 1;
        static char name[] = "kelm";
        static char* argv[] = { name, nullptr };
        auto* application = new QApplication(argc, argv);
        application->setQuitOnLastWindowClosed(false);
    }
    require();
}

} // namespace kelm
