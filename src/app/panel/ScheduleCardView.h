#pragma once
// The "Schedule" card: the solar row with its levels, one row per schedule, and the schedule editor.

#include <QWidget>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class LoginItem;
class UpdateBridge;

class ScheduleCardView : public QWidget {
    Q_OBJECT
public:
    ScheduleCardView(DisplayController& controller, BrivioPreferences& preferences,
                     QWidget* parent = nullptr);
};

} // namespace brivio
