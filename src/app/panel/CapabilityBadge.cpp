#include "app/panel/CapabilityBadge.h"

#include "model/ManagedDisplay.h"

namespace brivio {

CapabilityBadge::CapabilityBadge(Kind kind, QWidget* parent) : QLabel(parent), kind_(kind) {
    setObjectName(QStringLiteral("capabilityBadge"));
    setAlignment(Qt::AlignCenter);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    small.setWeight(QFont::DemiBold);
    setFont(small);
    updateLook();
}

void CapabilityBadge::setKind(Kind kind) {
    if (kind == kind_)
        return;
    kind_ = kind;
    updateLook();
}

QString CapabilityBadge::label(Kind kind) {
    switch (kind) {
    case Kind::ddc:
        return QStringLiteral("DDC");
    case Kind::software:
        return QStringLiteral("Software");
    case Kind::system:
        return QStringLiteral("System");
    case Kind::connecting:
        return QStringLiteral("Connecting");
    }
    return {};
}

QString CapabilityBadge::helpText(Kind kind) {
    switch (kind) {
    case Kind::ddc:
        return QStringLiteral("Hardware brightness control via DDC/CI");
    case Kind::software:
        return QStringLiteral("Hardware brightness control (DDC/CI) was not detected — likely the dock, "
                              "cable, or monitor doesn't support it. Brightness is controlled via a "
                              "software overlay instead.");
    case Kind::system:
        return QStringLiteral("Brightness is managed by the system");
    case Kind::connecting:
        return QStringLiteral("Probing display capabilities…");
    }
    return {};
}

void CapabilityBadge::updateLook() {
    setText(label(kind_));
    setToolTip(helpText(kind_));
    QColor tint;
    switch (kind_) {
    case Kind::ddc:
        tint = QColor(60, 170, 100);
        break;
    case Kind::software:
        tint = QColor(225, 140, 40);
        break;
    case Kind::system:
        tint = QColor(80, 130, 220);
        break;
    case Kind::connecting:
        tint = QColor(140, 140, 145);
        break;
    }
    QColor background = tint;
    background.setAlphaF(0.18f);
    setStyleSheet(QStringLiteral("QLabel { color: %1; background: rgba(%2, %3, %4, %5); border-radius: 7px; "
                                 "padding: 1px 7px; }")
                      .arg(tint.name())
                      .arg(background.red())
                      .arg(background.green())
                      .arg(background.blue())
                      .arg(background.alphaF()));
}

CapabilityBadge::Kind badgeKind(const ManagedDisplay& display, bool isWarmingUp) {
    if (display.isBuiltIn)
        return CapabilityBadge::Kind::system;
    if (display.capabilities.supportsHardwareBrightness)
        return CapabilityBadge::Kind::ddc;
    if (isWarmingUp)
        return CapabilityBadge::Kind::connecting;
    return CapabilityBadge::Kind::software;
}

} // namespace brivio
