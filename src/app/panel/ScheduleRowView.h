#pragma once
// One schedule in the schedule card: a switch row with the trigger's label, the days and the preset's
// name, and buttons to edit and delete it.

#include "settings/PresetSchedule.h"

#include <QWidget>

class QToolButton;

namespace brivio {

class ToggleBarRow;

class ScheduleRowView : public QWidget {
    Q_OBJECT
public:
    // `presetName` is empty when the schedule's preset no longer exists.
    ScheduleRowView(const PresetSchedule& schedule, const QString& presetName, bool locationMissing,
                    QColor tint, QWidget* parent);

    const PresetSchedule& schedule() const { return schedule_; }
    ToggleBarRow* toggle() const { return toggle_; }
    QToolButton* editButton() const { return edit_; }
    QToolButton* deleteButton() const { return delete_; }
    QString labelText() const;

Q_SIGNALS:
    void toggleTapped();
    void editRequested();
    void deleteRequested();

private:
    PresetSchedule schedule_;
    ToggleBarRow* toggle_;
    QToolButton* edit_;
    QToolButton* delete_;
};

} // namespace brivio
