#pragma once
// Renders the panel for the documentation: the main page (main.png), the same page with the first
// external display's card open (display-card.png), the preset and schedule cards (presets.png,
// schedule.png), the settings page (settings.png) and the welcome page (welcome.png); the main page in
// a light and a dark scheme (main-light.png, main-dark.png); and, on a drawn desktop with a bar, the
// panel opened from a tray icon at the top right and at the bottom (tray-top.png, tray-bottom.png) and
// the first-run hint at both (hint-top.png, hint-bottom.png).

#include <QString>

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class PanelWindow;

// False when a file could not be written. Leaves the router and the cards as it found them.
bool savePageScreenshots(PanelWindow& panel, AppRouter& router, DisplayController& controller,
                         BrivioPreferences& preferences, const QString& directory);

} // namespace brivio
