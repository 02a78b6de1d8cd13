#pragma once
// The panel's symbols by the names the pages use ("gearshape", "sun.max.fill", ...): one set of small
// line drawings bundled with the app, the same whatever icon theme the desktop has.

#include <QIcon>
#include <string_view>

namespace brivio {

// Unknown names give the "slider.horizontal.3" drawing, so a page never shows a blank button.
QIcon symbolIcon(std::string_view name);
// True when the table knows the name.
bool knownSymbol(std::string_view name);

} // namespace brivio
