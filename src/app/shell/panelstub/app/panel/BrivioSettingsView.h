#pragma once
// Placeholder settings page.

#include <QLabel>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class LoginItem;
class UpdateBridge;

class BrivioSettingsView : public QLabel {
    Q_OBJECT
public:
    BrivioSettingsView(DisplayController& controller, BrivioPreferences& preferences, AppRouter& router,
                       LoginItem* loginItem, UpdateBridge* updates, QWidget* parent = nullptr);
};

} // namespace brivio
