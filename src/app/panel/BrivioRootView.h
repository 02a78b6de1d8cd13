#pragma once
// The main page: one card per display, the preset card, the schedule card, settings and quit.

#include <QWidget>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class LoginItem;
class UpdateBridge;

class BrivioRootView : public QWidget {
    Q_OBJECT
public:
    BrivioRootView(DisplayController& controller, BrivioPreferences& preferences, AppRouter& router,
                   QWidget* parent = nullptr);
};

} // namespace brivio
