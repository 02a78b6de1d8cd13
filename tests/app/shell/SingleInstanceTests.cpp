// One app per session: the second launch hands over to the first and steps aside.

#include "app/AgentSocket.h"
#include "app/shell/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <unistd.h>

using namespace brivio;

class SingleInstanceTests : public QObject {
    Q_OBJECT

    QString name() const {
        // A full path, as the app's own socket is, so that the plain client can dial it too.
        return QDir::tempPath() +
               QStringLiteral("/brivio-test-%1-%2").arg(getpid()).arg(QTest::currentTestFunction());
    }

private Q_SLOTS:
    void firstClaimsAndALaterLaunchAsksItToShowThePanel() {
        SingleInstance first(name());
        QVERIFY(first.claim());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        // The second launch blocks while it asks; the first must keep its loop turning to answer.
        bool secondClaimed = true;
        QThread* thread = QThread::create([&] {
            SingleInstance second(name());
            secondClaimed = second.claim();
        });
        thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 3000);
        delete thread;
        QVERIFY(!secondClaimed);
        QTRY_COMPARE(activated.count(), 1);
    }

    void stepRequestsArriveAndOtherLinesAreIgnored() {
        SingleInstance agent(name());
        QVERIFY(agent.claim());
        QSignalSpy steps(&agent, &SingleInstance::stepRequested);
        QSignalSpy activated(&agent, &SingleInstance::activationRequested);
        std::string socket = name().toStdString();
        QThread* thread = QThread::create([socket] {
            sendToAgent("step down", socket);
            sendToAgent("step sideways", socket);
            sendToAgent("step up", socket);
        });
        thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 5000);
        delete thread;
        QTRY_COMPARE(steps.count(), 2);
        QCOMPARE(steps.at(0).at(0).toInt(), -1);
        QCOMPARE(steps.at(1).at(0).toInt(), +1);
        QCOMPARE(activated.count(), 0);
    }

    void aSocketLeftByACrashedInstanceDoesNotBlockTheNextOne() {
        // A listening socket whose owner never answers stands for the leftover file.
        {
            QLocalServer stale;
            QVERIFY(stale.listen(name()));
        }
        SingleInstance next(name());
        QVERIFY(next.claim());
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTests)
#include "SingleInstanceTests.moc"
