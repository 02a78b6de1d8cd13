// The panel on real trays: a StatusNotifierItem host on a private session bus that reports clicks
// with Activate(x, y) and may appear after the app (or go away and come back); the icon drawn in the
// scheme's text colour; the hint kept on screen, above an icon in a bottom bar; and the panel window
// that takes the size of the page it shows, up to the screen's height.
#include "app/panel/AppRouter.h"
#include "app/panel/BrivioRootView.h"
#include "app/panel/BrivioSettingsView.h"
#include "app/panel/DisplayCardView.h"
#include "app/panel/PanelDesk.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/WelcomeView.h"
#include "app/shell/HintBubble.h"
#include "app/shell/PanelWindow.h"
#include "app/shell/StatusNotifierItem.h"
#include "app/shell/TrayIcon.h"
#include "app/shell/TrayPlacement.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace brivio;

namespace {

// A session bus of the test's own, so that no desktop's tray answers.
class PrivateBus {
public:
    ~PrivateBus() {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    bool start() {
        QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                   "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig>"
                   "<type>session</type><listen>unix:tmpdir=" +
                   dir_.path().toUtf8() +
                   "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        if (!daemon_.waitForStarted(5000))
            return false;
        while (!daemon_.canReadLine())
            if (!daemon_.waitForReadyRead(5000))
                return false;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        return !address_.isEmpty();
    }

    QDBusConnection connect(const QString& name) {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// What a desktop's tray runs: the watcher, with a host registered, noting the items.
class WatcherStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    QStringList items;
    bool isHostRegistered() const { return true; }
    QStringList registeredItems() const { return items; }
    int protocolVersion() const { return 0; }

    bool attach(QDBusConnection& bus) {
        return bus.registerObject(StatusNotifierItem::watcherPath, this,
                                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                      QDBusConnection::ExportAllSignals) &&
               bus.registerService(StatusNotifierItem::watcherService);
    }
    void detach(QDBusConnection& bus) {
        bus.unregisterService(StatusNotifierItem::watcherService);
        bus.unregisterObject(StatusNotifierItem::watcherPath);
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) {
        items << service;
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();
};

// The three pages on the example desk in a panel window, as the app builds them.
struct Panel {
    PanelDesk desk;
    AppRouter router;
    BrivioRootView* root = new BrivioRootView(desk.controller(), desk.preferences(), router);
    PanelWindow window{
        router, root, new BrivioSettingsView(desk.controller(), desk.preferences(), router, nullptr, nullptr),
        new WelcomeView(router), false};
};

void click(QDBusConnection& host, const QString& item, QPoint at) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        item, StatusNotifierItem::itemPath, StatusNotifierItem::itemInterface, QStringLiteral("Activate"));
    call << at.x() << at.y();
    host.asyncCall(call);
}

QVariant itemProperty(QDBusConnection& host, const QString& item, const char* name) {
    QDBusMessage get = QDBusMessage::createMethodCall(item, StatusNotifierItem::itemPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << StatusNotifierItem::itemInterface << QLatin1String(name);
    // The item answers on this same thread: the call must keep the event loop turning.
    QDBusReply<QDBusVariant> reply = host.call(get, QDBus::BlockWithGui);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

QRect screenRect() {
    return QGuiApplication::primaryScreen()->geometry();
}

} // namespace

class TrayTests : public QObject {
    Q_OBJECT
    QTemporaryDir runtime;

private Q_SLOTS:
    void initTestCase() {
        // The item writes its symbolic icon where hosts can find it: here, not in the user's folder.
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void aHostThatComesLaterTakesThePanel() {
        PrivateBus bus;
        if (!bus.start())
            QSKIP("dbus-daemon is not available");
        Panel panel;
        TrayIcon tray(panel.window, bus.connect(QStringLiteral("agent")), false);
        QTRY_VERIFY(tray.isSettled());
        QVERIFY(!tray.available() && !panel.window.isPopup() && !tray.iconFrame());
        tray.openPanel(); // without a tray: the panel's own window
        QVERIFY(panel.window.isVisible());

        QDBusConnection host = bus.connect(QStringLiteral("host"));
        WatcherStandIn watcher;
        QVERIFY(watcher.attach(host));
        QTRY_VERIFY(tray.available());
        QCOMPARE(watcher.items, QStringList{tray.item()->serviceName()});
        QVERIFY(panel.window.isPopup());
        QVERIFY(!panel.window.isVisible());
        // What the host reads to draw the icon: a name it can look up where it is told, and pictures.
        QCOMPARE(itemProperty(host, tray.item()->serviceName(), "IconName").toString(),
                 QStringLiteral("brivio-symbolic"));
        QVERIFY(QFile::exists(itemProperty(host, tray.item()->serviceName(), "IconThemePath").toString() +
                              QStringLiteral("/brivio-symbolic.svg")));
        QVariant read = itemProperty(host, tray.item()->serviceName(), "IconPixmap");
        QVERIFY(read.canConvert<QDBusArgument>());
        const auto pixmaps = read.value<QDBusArgument>();
        int pictures = 0;
        pixmaps.beginArray();
        while (!pixmaps.atEnd() && pictures < 20) {
            int width = 0, height = 0;
            QByteArray bytes;
            pixmaps.beginStructure();
            pixmaps >> width >> height >> bytes;
            pixmaps.endStructure();
            QCOMPARE(bytes.size(), width * height * 4);
            ++pictures;
        }
        pixmaps.endArray();
        QVERIFY(pictures > 0);

        // The desktop's panel restarts: the window comes back meanwhile, and the icon after.
        watcher.detach(host);
        QTRY_VERIFY(!tray.available());
        QVERIFY(!panel.window.isPopup());
        QVERIFY(watcher.attach(host));
        QTRY_VERIFY(tray.available());
        QCOMPARE(watcher.items.size(), 2);
    }

    void clicksOpenThePanelBesideTheIconAndTheHintPointsThere() {
        PrivateBus bus;
        if (!bus.start())
            QSKIP("dbus-daemon is not available");
        QDBusConnection host = bus.connect(QStringLiteral("host"));
        WatcherStandIn watcher;
        QVERIFY(watcher.attach(host));
        Panel panel;
        TrayIcon tray(panel.window, bus.connect(QStringLiteral("agent")), false);
        QTRY_VERIFY(tray.available());
        HintBubble hint([&tray] { return tray.iconFrame(); }, true);
        // Before any click the first-run hint still has a place to point at.
        QVERIFY(hint.statusItemFrame());

        QRect screen = screenRect();
        QPoint topRight(screen.right() - 40, screen.top() + 12);
        click(host, tray.item()->serviceName(), topRight);
        QTRY_VERIFY(panel.window.isVisible());
        QRect g = panel.window.geometry();
        QVERIFY(screen.contains(g));
        QVERIFY(g.top() > topRight.y() + 8 && g.left() <= topRight.x() && g.right() >= topRight.x());
        auto frame = hint.statusItemFrame();
        QVERIFY(frame && QRectF(frame->x, frame->y, frame->width, frame->height).contains(topRight));
        click(host, tray.item()->serviceName(), topRight); // a second click closes it
        QTRY_VERIFY(!panel.window.isVisible());

        QPoint bottomRight(screen.right() - 40, screen.bottom() - 12);
        click(host, tray.item()->serviceName(), bottomRight);
        QTRY_VERIFY(panel.window.isVisible());
        g = panel.window.geometry();
        QVERIFY(screen.contains(g));
        QVERIFY(g.bottom() < bottomRight.y() - 8 && g.left() <= bottomRight.x() &&
                g.right() >= bottomRight.x());
        frame = hint.statusItemFrame();
        hint.showBubble(*frame, {});
        QVERIFY(hint.window()->geometry().bottom() < bottomRight.y());
        hint.hideBubble();
    }

    void theIconTakesTheSchemesTextColour() {
        Panel panel;
        TrayIcon tray(panel.window, QDBusConnection(QStringLiteral("no bus")), false);
        QPalette dark = QApplication::style()->standardPalette();
        dark.setColor(QPalette::Window, QColor(40, 40, 44));
        dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
        for (const QPalette& scheme : {QApplication::style()->standardPalette(), dark}) {
            QApplication::setPalette(scheme);
            QColor ink = scheme.color(QPalette::WindowText);
            QVERIFY(contrastRatio(ink, scheme.color(QPalette::Window)) >= 4.5);
            QVERIFY(!tray.item()->pixmaps().isEmpty());
            QImage icon = tray.item()->pixmaps().back();
            int inked = 0;
            for (int y = 0; y < icon.height(); ++y)
                for (int x = 0; x < icon.width(); ++x)
                    if (QColor c = icon.pixelColor(x, y); c.alpha() == 255) {
                        QCOMPARE(c.rgb(), ink.rgb());
                        ++inked;
                    }
            QVERIFY(inked > 0);
        }
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void theHintStaysOnScreenAndStandsAboveABottomBar() {
        QRect screen = screenRect();
        const QRect icons[] = {QRect(screen.right() - 9, screen.top(), 10, 24),
                               QRect(screen.right() - 29, screen.bottom() - 23, 24, 24)};
        for (const QRect& icon : icons) {
            HintBubble hint([icon] { return std::optional(icon); }, false);
            hint.showBubble(*hint.statusItemFrame(), {});
            QRect bubble = hint.window()->geometry();
            QVERIFY(screen.contains(bubble));
            if (icon.center().y() > screen.center().y())
                QVERIFY(bubble.bottom() < icon.top());
            else
                QVERIFY(bubble.top() > icon.bottom());
            hint.hideBubble();
        }
        // The tail points at the icon, also where the bubble has moved in from the edge.
        HintShape shape{QSize(186, 75), 150, 39, 4};
        QRect icon(screen.right() - 52, screen.top(), 24, 24);
        HintPlacement at = hintPlacement(icon, shape, screen);
        QVERIFY(at.topLeft.x() + shape.window.width() <= screen.right() + 1);
        QVERIFY(std::abs(at.topLeft.x() + at.tailX - (icon.center().x() + 0.5)) < 1.0);
    }

    void theWindowTakesThePagesSizeUpToTheScreen() {
        Panel panel;
        auto& prefs = panel.desk.preferences();
        panel.router.setShowingWelcome(true);
        panel.window.popUp(QRect());
        int welcome = panel.window.height();
        QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        auto expected = [&] {
            return std::min(panel.root->sizeHint().height(), area.height() - 2 * PanelWindow::screenMargin);
        };
        panel.router.continueFromWelcome();
        QTRY_COMPARE(panel.window.height(), expected());
        QVERIFY(panel.window.height() > welcome);
        QVERIFY(area.contains(panel.window.geometry()));

        // Shorter than the screen, the window is as tall as the page, and grows with a card that opens.
        prefs.setPresetsCardExpanded(false);
        prefs.setScheduleCardExpanded(false);
        panel.desk.settle();
        QTRY_COMPARE(panel.window.height(), expected());
        int collapsed = panel.window.height();
        QVERIFY(collapsed < area.height() - 2 * PanelWindow::screenMargin);
        panel.root->cards().at(1)->chevronButton()->click();
        panel.desk.settle();
        QTRY_VERIFY(panel.window.height() > collapsed);
        QTRY_COMPARE(panel.window.height(), expected());
    }
};

QTEST_MAIN(TrayTests)
#include "TrayTests.moc"
