// The agent starts on any session: with a Wayland session that no Qt platform plugin can serve (no
// Qt Wayland plugin or no compositor there, and no X server), it falls back, runs, says what it cannot
// show, and ends cleanly when told to.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class StartAnywhereTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithoutAPlatformPluginForTheSessionAndSaysSo() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("HOME", home.path());
        env.insert("XDG_RUNTIME_DIR", home.path());
        env.insert("XDG_SESSION_TYPE", "wayland");
        env.insert("WAYLAND_DISPLAY", "brivio-test-no-compositor");
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.path() + "/no-bus");
        env.insert("BRIVIO_LOG", "info");
        QProcess agent;
        agent.setProcessEnvironment(env);
        agent.setProcessChannelMode(QProcess::MergedChannels);
        agent.start(QStringLiteral(BRIVIO_PATH), {"--config", home.path(), "--sysfs", home.path()});
        QVERIFY(agent.waitForStarted());
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += agent.readAll()).contains("Application launched"), 15000);
        QVERIFY2(output.contains("no Qt platform plugin serves this session"), output.constData());
        QCOMPARE(agent.state(), QProcess::Running);
        agent.terminate();
        QVERIFY(agent.waitForFinished(15000));
        QCOMPARE(agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(agent.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(StartAnywhereTests)
#include "StartAnywhereTests.moc"
