// The Brivio desktop app: a tray icon whose panel controls every display.
//   brivio                     on this desktop's displays
//   brivio --sim FILE          on a simulated desk, shown in a preview window
//   brivio --screenshot DIR    renders the panel pages to PNG files and exits

#include "app/shell/BrivioApp.h"
#include "app/shell/SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brivio"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brivio"));
    QApplication::setApplicationVersion(QStringLiteral(BRIVIO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("brivio"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Brightness, contrast and volume for every display."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption sim(QStringLiteral("sim"), QStringLiteral("Run on the simulated desk in FILE."),
                           QStringLiteral("FILE"));
    QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Keep settings in DIR."),
                              QStringLiteral("DIR"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Render the panel pages to PNG files in DIR and exit."),
                                  QStringLiteral("DIR"));
    parser.addOptions({sim, config, screenshot});
    parser.process(app);

    brivio::AppOptions options;
    if (parser.isSet(sim))
        options.simFile = parser.value(sim).toStdString();
    if (parser.isSet(config))
        options.configDir = parser.value(config).toStdString();
    if (parser.isSet(screenshot))
        options.screenshotDir = parser.value(screenshot).toStdString();
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
