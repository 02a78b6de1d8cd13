#pragma once
// The "Presets" card: one pill per preset, and the editor for adding and changing presets.

#include <QWidget>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class LoginItem;
class UpdateBridge;

class GlobalPresetCardView : public QWidget {
    Q_OBJECT
public:
    GlobalPresetCardView(DisplayController& controller, BrivioPreferences& preferences,
                         QWidget* parent = nullptr);
};

} // namespace brivio
