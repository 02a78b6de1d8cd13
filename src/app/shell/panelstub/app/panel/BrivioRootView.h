#pragma once
// Placeholder main page.

#include <QLabel>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;

class BrivioRootView : public QLabel {
    Q_OBJECT
public:
    BrivioRootView(DisplayController& controller, BrivioPreferences& preferences, AppRouter& router,
                   QWidget* parent = nullptr);
};

} // namespace brivio
