#pragma once
// One preset in the preset card's row: its symbol and name, highlighted while it is the active preset,
// with a pencil that opens the editor for it.

#include "settings/BrightnessPreset.h"

#include <QWidget>

class QToolButton;

namespace brivio {

class PresetPill : public QWidget {
    Q_OBJECT
public:
    PresetPill(const BrightnessPreset& preset, QWidget* parent);

    const BrightnessPreset& preset() const { return preset_; }
    void setActive(bool active);
    bool isActive() const { return active_; }
    void setAccent(QColor accent);
    QToolButton* editButton() const { return edit_; }
    // As the user's taps.
    void tap() { Q_EMIT tapped(); }

Q_SIGNALS:
    void tapped();
    void editRequested();

private:
    void updateStyle();

    BrightnessPreset preset_;
    QToolButton* button_;
    QToolButton* edit_;
    QColor accent_;
    bool active_ = false;
};

} // namespace brivio
