#include "app/shell/StatusNotifierItem.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QtEndian>
#include <unistd.h>
#include <utility>

namespace brivio {

// An icon picture as the protocol sends it: width, height and ARGB32 pixels in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmapList = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString text;
};

} // namespace brivio

Q_DECLARE_METATYPE(brivio::SniPixmap)
Q_DECLARE_METATYPE(brivio::SniToolTip)

namespace brivio {

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& p) {
    arg.beginStructure();
    arg << p.width << p.height << p.bytes;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& p) {
    arg.beginStructure();
    arg >> p.width >> p.height >> p.bytes;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& t) {
    arg.beginStructure();
    arg << t.iconName << t.pixmaps << t.title << t.text;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& t) {
    arg.beginStructure();
    arg >> t.iconName >> t.pixmaps >> t.title >> t.text;
    arg.endStructure();
    return arg;
}

namespace {

SniPixmap sniPixmap(const QImage& image) {
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap out{argb.width(), argb.height(), QByteArray()};
    out.bytes.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto* to = reinterpret_cast<quint32*>(out.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            *to++ = qToBigEndian(row[x]);
    }
    return out;
}

int nextItemNumber() {
    static int count = 0;
    return ++count;
}

} // namespace

// The item's interface on the bus, read and called by the tray host.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(brivio::SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(brivio::SniPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(brivio::SniPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(brivio::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), item_(item) {
        connect(item, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::NewIcon);
    }

    QString category() const { return QStringLiteral("Hardware"); }
    QString id() const { return QStringLiteral("brivio"); }
    QString title() const { return QStringLiteral("Brivio"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return item_->iconName(); }
    QString iconThemePath() const { return item_->iconThemePath(); }
    SniPixmapList iconPixmap() const {
        SniPixmapList out;
        for (const QImage& image : item_->pixmaps())
            out << sniPixmap(image);
        return out;
    }
    QString none() const { return {}; }
    SniPixmapList noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return {{}, {}, QStringLiteral("Brivio"), {}}; }
    // A click opens the panel; the item has no menu of its own.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

public Q_SLOTS:
    void Activate(int x, int y) { item_->hostActivated(x, y); }
    void SecondaryActivate(int x, int y) { item_->hostActivated(x, y); }
    // Hosts send this for a right click when the item has no menu: the panel is all there is.
    void ContextMenu(int x, int y) { item_->hostActivated(x, y); }
    void Scroll(int, const QString&) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* item_;
};

const QString StatusNotifierItem::watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString StatusNotifierItem::watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString StatusNotifierItem::watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString StatusNotifierItem::itemPath = QStringLiteral("/StatusNotifierItem");
const QString StatusNotifierItem::itemInterface = QStringLiteral("org.kde.StatusNotifierItem");

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)),
      serviceName_(QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(getpid()).arg(nextItemNumber())) {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
    if (!bus_.isConnected()) {
        settled_ = true;
        return;
    }
    watcher_ = new QDBusServiceWatcher(watcherService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    new StatusNotifierItemAdaptor(this);
    bus_.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
    bus_.registerService(serviceName_);
    // A watcher that starts later (the desktop's panel after an autostarted app) or starts again.
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (owner.isEmpty())
                    setShown(false);
                else
                    registerWithWatcher();
            });
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus_.connect(watcherService, watcherPath, watcherInterface, QLatin1String(signal), this,
                     SLOT(hostsChanged()));
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    if (!bus_.isConnected())
        return;
    bus_.unregisterObject(itemPath);
    bus_.unregisterService(serviceName_);
}

void StatusNotifierItem::setIcon(const QString& name, const QString& themePath,
                                 const QList<QImage>& pixmaps) {
    iconName_ = name;
    iconThemePath_ = themePath;
    pixmaps_ = pixmaps;
    Q_EMIT iconChanged();
}

void StatusNotifierItem::hostActivated(int x, int y) {
    Q_EMIT activated(QPoint(x, y));
}

void StatusNotifierItem::hostsChanged() {
    askForHost();
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherInterface,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << serviceName_;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (done->isError()) {
            setShown(false);
            settle();
        } else {
            askForHost();
        }
    });
}

void StatusNotifierItem::askForHost() {
    // A watcher without a host shows nothing: the app then keeps to its own window.
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        QDBusPendingReply<QDBusVariant> reply = *done;
        setShown(!reply.isError() && reply.value().variant().toBool());
        settle();
    });
}

void StatusNotifierItem::setShown(bool shown) {
    if (shown_ == shown)
        return;
    shown_ = shown;
    Q_EMIT shownChanged(shown);
}

void StatusNotifierItem::settle() {
    if (std::exchange(settled_, true))
        return;
    Q_EMIT settled();
}

} // namespace brivio

#include "StatusNotifierItem.moc"
