#pragma once
// The schedule card's editor: which preset, when in the day (a clock time, or sunrise or sunset with an
// offset) and on which weekdays. Save stores the schedule; Cancel drops the draft.

#include "settings/PresetSchedule.h"
#include "settings/ScheduleEditor.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <optional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimeEdit;
class QToolButton;

namespace brivio {

class BrivioPreferences;
class LocationManager;

class ScheduleEditorView : public QWidget {
    Q_OBJECT
public:
    ScheduleEditorView(BrivioPreferences& preferences, LocationManager& location, QWidget* parent);

    void beginAdding();
    void beginEditing(const PresetSchedule& schedule);
    bool isOpen() const { return isOpen_; }
    // A sunrise or sunset trigger is chosen.
    bool wantsLocation() const;

    void save();
    void cancel();

    // Where the keyboard focus goes when the editor closes with it inside.
    void setFocusAnchor(QWidget* anchor) { focusAnchor_ = anchor; }

    QComboBox* presetChoice() const { return preset_; }
    QToolButton* kindButton(TriggerKind kind) const { return kinds_[static_cast<std::size_t>(kind)]; }
    QTimeEdit* timeField() const { return time_; }
    QSpinBox* offsetField() const { return offset_; }
    QToolButton* dayButton(int weekday) const { return days_.at(static_cast<std::size_t>(weekday)); }
    QPushButton* saveButton() const { return save_; }

Q_SIGNALS:
    void openChanged(bool open);
    // The trigger kind changed (the card shows the location prompt for solar kinds).
    void kindChanged();

private:
    void open(const ScheduleDraft& draft, int offsetMinutes);
    void close();
    ScheduleDraft draft() const;
    TriggerKind kind() const;
    void updateFields();
    void styleDays();

    BrivioPreferences& preferences_;
    LocationManager& location_;
    std::optional<PresetSchedule> editing_;
    bool isOpen_ = false;

    QLabel* title_;
    QComboBox* preset_;
    QButtonGroup* kindGroup_;
    std::array<QToolButton*, 3> kinds_{};
    QTimeEdit* time_;
    QSpinBox* offset_;
    std::array<QToolButton*, 7> days_{};
    QPushButton* cancel_;
    QPushButton* save_;
    QPointer<QWidget> focusAnchor_;
};

} // namespace brivio
