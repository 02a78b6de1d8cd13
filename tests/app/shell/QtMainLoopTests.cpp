// The loop adapter: order, cancellation and fd readiness on a real Qt event loop.

#include "app/shell/QtMainLoop.h"
#include "base/Task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <sys/epoll.h>
#include <unistd.h>

using namespace brivio;

class QtMainLoopTests : public QObject {
    Q_OBJECT

    // Processes Qt events until `done` or a second has passed.
    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return done();
    }

private Q_SLOTS:
    void runsByDueTimeThenPostingOrder() {
        QtMainLoop loop;
        std::vector<int> order;
        loop.postAfter(30ms, [&] { order.push_back(3); });
        loop.post([&] { order.push_back(1); });
        loop.post([&] { order.push_back(2); });
        loop.postAfter(
            5ms, [&] { order.push_back(4); }, TimerRole::background);
        QVERIFY(waitFor([&] { return order.size() == 4; }));
        QCOMPARE(order, (std::vector<int>{1, 2, 4, 3}));
        QCOMPARE(loop.firedCount(), 4u);
        QCOMPARE(loop.pendingCount(), 0u);
    }

    void cancelledTimersNeverFireEvenFromAnotherCallback() {
        QtMainLoop loop;
        bool fired = false, done = false;
        TimerId doomed = loop.postAfter(20ms, [&] { fired = true; });
        loop.post([&] { loop.cancel(doomed); });
        loop.postAfter(40ms, [&] { done = true; });
        loop.cancel(12345); // unknown ids are harmless
        QVERIFY(waitFor([&] { return done; }));
        QVERIFY(!fired);
        QCOMPARE(loop.pendingWorkCount(), 0u);
    }

    void waitsRoughlyTheDelay() {
        QtMainLoop loop;
        TimePoint start = loop.now(), firedAt{};
        loop.postAfter(50ms, [&] { firedAt = loop.now(); });
        QVERIFY(waitFor([&] { return firedAt != TimePoint{}; }));
        QVERIFY(firedAt - start >= 50ms);
        QVERIFY(firedAt - start < 500ms);
    }

    void tasksSleepOnIt() {
        QtMainLoop loop;
        int steps = 0;
        auto body = [](int& s) -> Task<void> {
            co_await sleep(10ms);
            ++s;
            co_await sleep(10ms);
            ++s;
        };
        spawn(loop, body(steps));
        QVERIFY(waitFor([&] { return steps == 2; }));
    }

    void watchedFdCallsBackAndMayUnwatchItself() {
        QtMainLoop loop;
        int fds[2];
        QVERIFY(pipe(fds) == 0);
        int calls = 0;
        std::uint32_t seen = 0;
        QVERIFY(loop.watchFd(fds[0], EPOLLIN, [&](std::uint32_t events) {
            ++calls;
            seen = events;
            char c;
            [[maybe_unused]] auto n = read(fds[0], &c, 1);
            loop.unwatchFd(fds[0]);
        }));
        QVERIFY(!loop.watchFd(fds[0], EPOLLIN, [](std::uint32_t) {})); // one watch a descriptor
        [[maybe_unused]] auto n = write(fds[1], "xy", 2);
        QVERIFY(waitFor([&] { return calls == 1; }));
        QCOMPARE(seen, std::uint32_t(EPOLLIN));
        // The second byte is still there, but nobody watches any more.
        QTest::qWait(30);
        QCOMPARE(calls, 1);
        close(fds[0]);
        close(fds[1]);
    }
};

QTEST_GUILESS_MAIN(QtMainLoopTests)
#include "QtMainLoopTests.moc"
