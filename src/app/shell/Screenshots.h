#pragma once
// Renders the panel for the documentation: the main page (main.png), the same page with the first
// external display's card open (display-card.png), the preset and schedule cards (presets.png,
// schedule.png), the settings page (settings.png) and the welcome page (welcome.png).

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
