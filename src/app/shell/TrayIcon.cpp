#include "app/shell/TrayIcon.h"

#include "app/shell/PanelWindow.h"
#include "base/Log.h"

#include <QPainter>
#include <QPainterPath>
#include <QSystemTrayIcon>
#include <cmath>

namespace brivio {

namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor ink(Qt::white);
    double s = size;
    QPen pen(ink, std::max(1.0, s / 14));
    p.setPen(pen);
    // The display: a rounded screen on a short stand.
    QRectF screen(s * 0.06, s * 0.12, s * 0.88, s * 0.62);
    p.drawRoundedRect(screen, s * 0.08, s * 0.08);
    p.drawLine(QPointF(s * 0.5, screen.bottom()), QPointF(s * 0.5, s * 0.86));
    p.drawLine(QPointF(s * 0.3, s * 0.88), QPointF(s * 0.7, s * 0.88));
    // The sun, 0.48 of the icon, centred and lifted by 8 % of the height.
    double sun = s * 0.48;
    QPointF c(s * 0.5, s * 0.5 - s * 0.08);
    double r = sun * 0.22;
    p.setBrush(ink);
    p.drawEllipse(c, r, r);
    QPen rays(ink, std::max(1.0, s / 20), Qt::SolidLine, Qt::RoundCap);
    p.setPen(rays);
    for (int i = 0; i < 8; ++i) {
        double a = i * M_PI / 4;
        QPointF d(std::cos(a), std::sin(a));
        p.drawLine(c + d * (r + sun * 0.08), c + d * (sun / 2));
    }
    return pixmap;
}

} // namespace

QIcon brivioTrayIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 22, 24, 32, 48, 64})
            i.addPixmap(drawIcon(size));
        return i;
    }();
    return icon;
}

TrayIcon::TrayIcon(PanelWindow& panel, QObject* parent) : QObject(parent), panel_(panel) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        logInfo(LogCategory::AppDelegate, "No system tray: the panel opens as a window");
        return;
    }
    tray_ = std::make_unique<QSystemTrayIcon>(brivioTrayIcon());
    tray_->setToolTip(QStringLiteral("Brivio"));
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
            if (panel_.isVisible())
                panel_.hide();
            else
                openPanel();
        }
    });
    tray_->show();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::openPanel() {
    panel_.popUp(tray_ ? tray_->geometry() : QRect());
}

} // namespace brivio
