// One app per session: the second launch hands over to the first and steps aside.

#include "app/shell/SingleInstance.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <unistd.h>

using namespace brivio;

class SingleInstanceTests : public QObject {
    Q_OBJECT

    QString name() const {
        return QStringLiteral("brivio-test-%1-%2").arg(getpid()).arg(QTest::currentTestFunction());
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
