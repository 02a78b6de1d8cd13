// The Brivio desktop app: a tray icon whose panel controls every display.
//   brivio                     on this desktop's displays
//   brivio --sim FILE          on a simulated desk, shown in a preview window
//   brivio --screenshot DIR    renders the panel pages to PNG files and exits
//   brivio --sysfs DIR         on the connectors of another /sys tree (diagnostics, screenshots)

#include "app/shell/BrivioApp.h"
#include "app/shell/QtPlatformChoice.h"
#include "app/shell/SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

// Qt's own options (-platform xcb, -style fusion, ...) are QApplication's; the parser leaves them out.
QStringList withoutQtOptions(int argc, char** argv) {
    static const QStringList withValue{"-platform",        "-platformpluginpath",
                                       "-platformtheme",   "-plugin",
                                       "-qwindowgeometry", "-qwindowicon",
                                       "-qwindowtitle",    "-display",
                                       "-geometry",        "-style",
                                       "-stylesheet",      "-session",
                                       "-qmljsdebugger"};
    static const QStringList flags{"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        QString argument = QString::fromLocal8Bit(argv[i]);
        QString name = argument.section(QLatin1Char('='), 0, 0);
        if (withValue.contains(name)) {
            if (name == argument)
                ++i;
            continue;
        }
        if (flags.contains(argument))
            continue;
        arguments << argument;
    }
    return arguments;
}

bool choosesPlatform(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]).section(QLatin1Char('='), 0, 0) == QStringLiteral("-platform"))
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Options are read before the GUI starts, so --help, --version and mistakes need no display.
    QCoreApplication::setApplicationName(QStringLiteral("brivio"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRIVIO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Brightness, contrast and volume for every display."));
    QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit."));
    QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit."));
    QCommandLineOption sim(QStringLiteral("sim"), QStringLiteral("Run on the simulated desk in FILE."),
                           QStringLiteral("FILE"));
    QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Keep settings in DIR."),
                              QStringLiteral("DIR"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Render the panel pages to PNG files in DIR and exit."),
                                  QStringLiteral("DIR"));
    QCommandLineOption sysfs(QStringLiteral("sysfs"),
                             QStringLiteral("Read the DRM and backlight tree from DIR instead of /sys."),
                             QStringLiteral("DIR"));
    parser.addOptions({help, version, sim, config, screenshot, sysfs});
    if (!parser.parse(withoutQtOptions(argc, argv))) {
        std::fprintf(stderr, "brivio: %s\nTry 'brivio --help'.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        QString text =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("brivio"));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("brivio %s\n", BRIVIO_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "brivio: unexpected argument '%s'\nTry 'brivio --help'.\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    // The user's own choice stands; otherwise a plugin that cannot load falls back to the next one.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !choosesPlatform(argc, argv))
        qputenv("QT_QPA_PLATFORM",
                brivio::qtPlatformOrder(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"),
                                        std::getenv("XDG_CURRENT_DESKTOP"))
                    .c_str());
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Brivio"));
    QApplication::setDesktopFileName(QStringLiteral("brivio"));

    brivio::AppOptions options;
    if (parser.isSet(sim))
        options.simFile = parser.value(sim).toStdString();
    if (parser.isSet(config))
        options.configDir = parser.value(config).toStdString();
    if (parser.isSet(screenshot))
        options.screenshotDir = parser.value(screenshot).toStdString();
    if (parser.isSet(sysfs))
        options.sysfsRoot = parser.value(sysfs).toStdString();
    // A simulated desk is an app of its own: it may run beside the one on the real displays.
    options.instanceName = brivio::SingleInstance::defaultName();
    if (options.simFile)
        options.instanceName += QStringLiteral("-sim-") + QFileInfo(parser.value(sim)).completeBaseName();
    try {
        brivio::BrivioApp brivioApp(options);
        return brivioApp.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brivio: %s\n", e.what());
        return 1;
    }
}
