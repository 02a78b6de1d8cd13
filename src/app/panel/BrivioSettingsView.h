#pragma once
// The settings page: general switches, shortcuts and step, theme, updates, support and version.

#include <QWidget>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class LoginItem;
class UpdateBridge;

class BrivioSettingsView : public QWidget {
    Q_OBJECT
public:
    BrivioSettingsView(DisplayController& controller, BrivioPreferences& preferences, AppRouter& router,
                       LoginItem* loginItem, UpdateBridge* updates, QWidget* parent = nullptr);
};

} // namespace brivio
