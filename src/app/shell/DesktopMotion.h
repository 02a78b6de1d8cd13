#pragma once
// Whether the desktop asks for reduced motion, kept in step with the panel's motion setting: the
// desktop portal's reduced-motion setting, GNOME's animations switch (read through the same portal)
// and KDE's animation speed, where set to off.

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <optional>

namespace brivio {

class DesktopMotion : public QObject {
    Q_OBJECT
public:
    // `kdeGlobals`: the path of the user's kdeglobals file (it may not exist).
    DesktopMotion(QDBusConnection bus, const QString& kdeGlobals, QObject* parent = nullptr);

    // A kdeglobals text's [KDE] AnimationDurationFactor: 0 means animations are off. Absent when unset.
    static std::optional<bool> reducedByKdeGlobals(const QString& text);

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void read(const QString& group, const QString& key);
    void take(const QString& group, const QString& key, const QVariant& value);
    void apply();

    QDBusConnection bus_;
    bool portalReduced_ = false;
    bool gnomeAnimationsOff_ = false;
    bool kdeAnimationsOff_ = false;
};

} // namespace brivio
