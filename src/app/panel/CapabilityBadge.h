#pragma once
// The small pill in a display card's header that says how the display's brightness is driven; the
// longer explanation is its tooltip.

#include <QLabel>

namespace brivio {

struct ManagedDisplay;

class CapabilityBadge : public QLabel {
    Q_OBJECT
public:
    enum class Kind { ddc, software, system, connecting };

    explicit CapabilityBadge(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    void setKind(Kind kind);

    static QString label(Kind kind);
    static QString helpText(Kind kind);

private:
    void updateLook();

    Kind kind_;
};

// The built-in panel is the system's; an external display shows DDC once hardware brightness works,
// and "Connecting" rather than "Software" while its late probes may still find DDC/CI.
CapabilityBadge::Kind badgeKind(const ManagedDisplay& display, bool isWarmingUp);

} // namespace brivio
