// The Brivio desktop app: a tray icon whose panel controls every display.
//   brivio                     on this desktop's displays
//   brivio --sim FILE          on a simulated desk, shown in a preview window
//   brivio --screenshot DIR    renders the panel pages to PNG files and exits
//   brivio --autostart         as the login starts it: without a tray, no window until asked
//   brivio --sysfs DIR         on the connectors of another /sys tree (diagnostics, screenshots)

#include "app/ProgramReference.h"
#include "app/bus/BusNames.h"
#include "app/shell/BrivioApp.h"
#include "app/shell/QtPlatformChoice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>

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

    // The options and the help's last lines come from the table the manual page is written from.
    const brivio::ProgramReference& reference = brivio::agentReference();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Brightness, contrast and volume for every display."));
    std::map<std::string, QCommandLineOption> parserOptions;
    for (const auto& entry : reference.options) {
        QStringList names;
        if (!entry.shortName.empty())
            names << QString::fromStdString(entry.shortName);
        names << QString::fromStdString(entry.longName);
        parserOptions.emplace(entry.longName,
                              QCommandLineOption(names, QString::fromStdString(entry.description),
                                                 QString::fromStdString(entry.valueName)));
        parser.addOption(parserOptions.at(entry.longName));
    }
    const QCommandLineOption& help = parserOptions.at("help");
    const QCommandLineOption& version = parserOptions.at("version");
    const QCommandLineOption& sim = parserOptions.at("sim");
    const QCommandLineOption& config = parserOptions.at("config");
    const QCommandLineOption& screenshot = parserOptions.at("screenshot");
    const QCommandLineOption& autostart = parserOptions.at("autostart");
    const QCommandLineOption& sysfs = parserOptions.at("sysfs");
    if (!parser.parse(withoutQtOptions(argc, argv))) {
        std::fprintf(stderr, "brivio: %s\nTry 'brivio --help'.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        QString text =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("brivio"));
        std::fputs(qPrintable(text), stdout);
        std::printf("\n%s\n", brivio::helpFooter(reference).c_str());
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
    QApplication::setDesktopFileName(QStringLiteral("dev.brivio.Brivio"));

    brivio::AppOptions options;
    if (parser.isSet(sim))
        options.simFile = parser.value(sim).toStdString();
    if (parser.isSet(config))
        options.configDir = parser.value(config).toStdString();
    if (parser.isSet(screenshot))
        options.screenshotDir = parser.value(screenshot).toStdString();
    options.autostarted = parser.isSet(autostart);
    if (parser.isSet(sysfs))
        options.sysfsRoot = parser.value(sysfs).toStdString();
    // A simulated desk is an app of its own: it may run beside the one on the real displays.
    options.busName =
        options.simFile ? brivio::bus::simulatedServiceName(*options.simFile) : brivio::bus::serviceName;
    try {
        brivio::BrivioApp brivioApp(options);
        return brivioApp.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brivio: %s\n", e.what());
        return 1;
    }
}
