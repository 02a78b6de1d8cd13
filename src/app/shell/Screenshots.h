#pragma once
// Renders each panel page to a PNG (main.png, settings.png, welcome.png) for the documentation.

#include <QString>

namespace brivio {

class AppRouter;
class PanelWindow;

// False when a file could not be written. Leaves the router as it found it.
bool savePageScreenshots(PanelWindow& panel, AppRouter& router, const QString& directory);

} // namespace brivio
