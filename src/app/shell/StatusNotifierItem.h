#pragma once
// The tray icon as a StatusNotifierItem, the tray protocol of most current desktops: an object on the
// session bus that the desktop's tray host shows. It registers with the StatusNotifierWatcher whenever
// one runs, also one that starts after the app or restarts, and reports where the user clicked, which
// the host sends with Activate(x, y).

#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace brivio {

class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    static const QString watcherService;
    static const QString watcherPath;
    static const QString watcherInterface;
    static const QString itemPath;
    static const QString itemInterface;

    explicit StatusNotifierItem(QDBusConnection bus, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // A watcher took the item and a host is there to show it.
    bool isShown() const { return shown_; }
    bool isSettled() const { return settled_; }
    bool onBus() const { return bus_.isConnected(); }
    // The bus name hosts reach the item at.
    const QString& serviceName() const { return serviceName_; }

    // A themed icon name (hosts that know the theme draw it in their own colours), the folder holding
    // it, and drawn pixmaps for hosts that take pictures only.
    void setIcon(const QString& name, const QString& themePath, const QList<QImage>& pixmaps);

    // What the host's calls do (public for the bus adaptor).
    void hostActivated(int x, int y);

    QString iconName() const { return iconName_; }
    QString iconThemePath() const { return iconThemePath_; }
    const QList<QImage>& pixmaps() const { return pixmaps_; }

Q_SIGNALS:
    // A click on the icon; `at` is in screen coordinates, null when the host gave none.
    void activated(QPoint at);
    void shownChanged(bool shown);
    // The first answer about a watcher and its host is in (or there is no bus): `isShown` means
    // something from now on.
    void settled();
    // For the bus adaptor: tells hosts to read the icon again.
    void iconChanged();

private Q_SLOTS:
    void hostsChanged();

private:
    void registerWithWatcher();
    void askForHost();
    void setShown(bool shown);
    void settle();

    QDBusConnection bus_;
    QString serviceName_;
    QDBusServiceWatcher* watcher_ = nullptr;
    bool shown_ = false;
    bool settled_ = false;
    QString iconName_;
    QString iconThemePath_;
    QList<QImage> pixmaps_;
};

} // namespace brivio
