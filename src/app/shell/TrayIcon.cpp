#include "app/shell/TrayIcon.h"

#include "app/shell/PanelWindow.h"
#include "app/shell/StatusNotifierItem.h"
#include "app/shell/TrayPlacement.h"
#include "base/Log.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPalette>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <utility>

// The symbolic icon is compiled into the panel library, which is static: its resources start on use.
static void initTrayResources() {
    Q_INIT_RESOURCE(panel);
}

namespace brivio {

namespace {

const QString symbolicName = QStringLiteral("brivio-symbolic");
constexpr QRgb symbolicGrey = qRgb(0xbe, 0xbe, 0xbe);
constexpr int xembedPollMs = 3000;
// A click that arrives this soon after the popup closed is the click that closed it.
constexpr int reopenGuardMs = 350;

QByteArray symbolicSvg() {
    initTrayResources();
    QFile file(QStringLiteral(":/brivio/brivio-symbolic.svg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Hosts that know icon themes look the symbolic icon up by name and draw it in their own colours; it
// goes where they can find it without an installation (the runtime folder, in a theme's layout and
// loose, as hosts search either way). Empty when there is nowhere to put it.
QString writeThemeFolder() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    QDir root(runtime + QStringLiteral("/brivio/icons"));
    QByteArray svg = symbolicSvg();
    if (svg.isEmpty() || !root.mkpath(QStringLiteral("hicolor/scalable/apps")))
        return {};
    for (const QString& path :
         {root.filePath(QStringLiteral("hicolor/scalable/apps/") + symbolicName + ".svg"),
          root.filePath(symbolicName + ".svg")}) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(svg) != svg.size())
            return {};
    }
    return root.path();
}

// Host coordinates may be device pixels where Qt scales the screen: a point on no screen is mapped
// through the scale of the screen whose device pixels hold it.
QPoint toLogical(QPoint at) {
    if (QGuiApplication::screenAt(at))
        return at;
    for (QScreen* screen : QGuiApplication::screens()) {
        QRect logical = screen->geometry();
        double ratio = screen->devicePixelRatio();
        QRect device(logical.topLeft(), logical.size() * ratio);
        if (ratio > 1.0 && device.contains(at))
            return logical.topLeft() + (at - logical.topLeft()) / ratio;
    }
    return at;
}

} // namespace

QColor trayInk() {
    return QGuiApplication::palette().color(QPalette::WindowText);
}

QImage brivioTrayImage(const QColor& ink, int size) {
    QByteArray svg = symbolicSvg();
    svg.replace(QColor(symbolicGrey).name().toLatin1(), ink.name().toLatin1());
    QBuffer buffer(&svg);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(QSize(size, size));
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

TrayIcon::TrayIcon(PanelWindow& panel, QDBusConnection bus, bool xembed, QObject* parent)
    : QObject(parent), panel_(panel), item_(std::make_unique<StatusNotifierItem>(std::move(bus))),
      xembedAllowed_(xembed) {
    connect(item_.get(), &StatusNotifierItem::activated, this, &TrayIcon::activateAt);
    connect(item_.get(), &StatusNotifierItem::shownChanged, this, [this](bool shown) {
        // Where a host shows the item, an XEmbed icon would be a second one.
        if (shown)
            useXEmbed(false);
        else
            lookForXEmbed();
        announce();
    });
    auto settle = [this] {
        lookForXEmbed();
        settled_ = true;
        panel_.setPopup(available());
        announce();
        if (!available_)
            logInfo(LogCategory::AppDelegate, "No tray: the panel opens as a window");
        Q_EMIT settled();
    };
    if (item_->isSettled())
        QTimer::singleShot(0, this, settle);
    else
        connect(item_.get(), &StatusNotifierItem::settled, this, settle);
    if (xembedAllowed_) {
        xembedPoll_ = new QTimer(this);
        connect(xembedPoll_, &QTimer::timeout, this, [this] { lookForXEmbed(); });
        xembedPoll_->setInterval(xembedPollMs);
    }
    connect(&panel_, &PanelWindow::closed, this, [this] {
        if (!std::exchange(closingFromTray_, false))
            sincePanelClosed_.start();
    });
    // Only an item on a bus has hosts that look icons up by name.
    if (item_->onBus())
        themeFolder_ = writeThemeFolder();
    qApp->installEventFilter(this);
    updateIcons();
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::available() const {
    return item_->isShown() || (xembed_ && xembed_->isVisible());
}

std::optional<QRect> TrayIcon::iconFrame() const {
    if (xembed_ && xembed_->isVisible()) {
        QRect g = xembed_->geometry();
        if (g.isValid() && !g.isEmpty())
            return g;
    }
    if (!item_->isShown())
        return std::nullopt;
    if (clickedAt_)
        return clickedAt_;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return likelyTrayFrame(screen->geometry(), screen->availableGeometry());
}

void TrayIcon::openPanel() {
    panel_.popUp(available() ? iconFrame().value_or(QRect()) : QRect());
}

void TrayIcon::activateAt(QPoint at) {
    QRect anchor;
    if (!at.isNull()) {
        QPoint point = toLogical(at);
        QScreen* screen = QGuiApplication::screenAt(point);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        anchor = anchorAroundClick(point, screen ? screen->geometry() : QRect(point, QSize(1, 1)));
        clickedAt_ = anchor;
    } else {
        anchor = iconFrame().value_or(QRect());
    }
    toggleAt(anchor);
}

void TrayIcon::toggleAt(const QRect& anchor) {
    if (panel_.isVisible()) {
        closingFromTray_ = true;
        panel_.hide();
        closingFromTray_ = false;
        return;
    }
    // A popup closes itself at a press outside it: when that press was on the icon, its click must
    // not open it again.
    if (panel_.isPopup() && sincePanelClosed_.isValid() && sincePanelClosed_.elapsed() < reopenGuardMs) {
        sincePanelClosed_.invalidate();
        return;
    }
    panel_.popUp(anchor);
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        updateIcons();
    return QObject::eventFilter(watched, event);
}

void TrayIcon::updateIcons() {
    QColor ink = trayInk();
    QList<QImage> images;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QImage image = brivioTrayImage(ink, size);
        if (image.isNull())
            continue;
        images << image;
        icon.addPixmap(QPixmap::fromImage(image));
    }
    item_->setIcon(themeFolder_.isEmpty() ? QString() : symbolicName, themeFolder_, images);
    if (xembed_)
        xembed_->setIcon(icon);
}

void TrayIcon::lookForXEmbed() {
    if (!xembedAllowed_ || item_->isShown())
        return;
    useXEmbed(QSystemTrayIcon::isSystemTrayAvailable());
    announce();
}

void TrayIcon::useXEmbed(bool use) {
    if (use == (xembed_ != nullptr))
        return;
    if (!use) {
        xembed_.reset();
        return;
    }
    xembed_ = std::make_unique<QSystemTrayIcon>();
    xembed_->setToolTip(QStringLiteral("Brivio"));
    connect(xembed_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
                    toggleAt(xembed_->geometry());
            });
    updateIcons();
    xembed_->show();
}

void TrayIcon::announce() {
    bool now = available();
    // Looked for only while no tray shows the icon: an idle app wakes no one.
    if (xembedPoll_ && now)
        xembedPoll_->stop();
    else if (xembedPoll_ && !xembedPoll_->isActive())
        xembedPoll_->start();
    if (now == available_)
        return;
    available_ = now;
    // The panel moves to the tray that appeared (a window on screen closes), or back to a window.
    panel_.setPopup(now);
    logInfo(LogCategory::AppDelegate, "{}",
            now ? "Tray icon shown: the panel opens from the tray" : "No tray: the panel opens as a window");
    Q_EMIT availabilityChanged(now);
}

} // namespace brivio
