#include "app/shell/DesktopMotion.h"

#include "app/panel/Motion.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QRegularExpression>

namespace brivio {

namespace {

const QString motionPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString motionPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString gnomeInterface = QStringLiteral("org.gnome.desktop.interface");

// The portal wraps values in one variant more than the bus does.
QVariant unwrapped(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

DesktopMotion::DesktopMotion(QDBusConnection bus, const QString& kdeGlobals, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    QFile file(kdeGlobals);
    if (file.open(QIODevice::ReadOnly))
        kdeAnimationsOff_ = reducedByKdeGlobals(QString::fromUtf8(file.readAll())).value_or(false);
    apply();
    if (!bus_.isConnected())
        return;
    bus_.connect(motionPortalService, motionPortalPath, settingsInterface, QStringLiteral("SettingChanged"),
                 this, SLOT(settingChanged(QString, QString, QDBusVariant)));
    read(appearance, QStringLiteral("reduced-motion"));
    read(gnomeInterface, QStringLiteral("enable-animations"));
}

std::optional<bool> DesktopMotion::reducedByKdeGlobals(const QString& text) {
    static const QRegularExpression section(QStringLiteral("^\\[([^\\]]*)\\]\\s*$"));
    static const QRegularExpression factor(QStringLiteral("^AnimationDurationFactor\\s*=\\s*(\\S+)\\s*$"));
    bool inKde = false;
    std::optional<bool> reduced;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (auto m = section.match(line); m.hasMatch()) {
            inKde = m.captured(1) == QStringLiteral("KDE");
            continue;
        }
        if (auto m = factor.match(line); inKde && m.hasMatch()) {
            bool ok = false;
            double value = m.captured(1).toDouble(&ok);
            if (ok)
                reduced = value <= 0.0;
        }
    }
    return reduced;
}

void DesktopMotion::read(const QString& group, const QString& key) {
    QDBusMessage call = QDBusMessage::createMethodCall(motionPortalService, motionPortalPath,
                                                       settingsInterface, QStringLiteral("Read"));
    call << group << key;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, group, key](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                QDBusPendingReply<QDBusVariant> reply = *done;
                // No portal, or a key it does not have: nothing is asked for.
                if (!reply.isError())
                    take(group, key, reply.value().variant());
            });
}

void DesktopMotion::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    take(group, key, value.variant());
}

void DesktopMotion::take(const QString& group, const QString& key, const QVariant& value) {
    QVariant v = unwrapped(value);
    if (!v.isValid())
        return;
    if (group == appearance && key == QStringLiteral("reduced-motion"))
        portalReduced_ = v.toUInt() == 1;
    else if (group == gnomeInterface && key == QStringLiteral("enable-animations"))
        gnomeAnimationsOff_ = !v.toBool();
    else
        return;
    apply();
}

void DesktopMotion::apply() {
    setReducedMotion(portalReduced_ || gnomeAnimationsOff_ || kdeAnimationsOff_);
}

} // namespace brivio
