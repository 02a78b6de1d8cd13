#include "app/panel/PanelSymbols.h"

#include <QByteArray>
#include <QPixmap>
#include <array>
#include <map>
#include <string>

namespace brivio {

namespace {

struct Symbol {
    std::string_view name;
    const char* body; // SVG content on a 24 × 24 canvas, stroked in currentColor
};

// One table for every symbol the pages show.
constexpr std::array symbols{
    Symbol{
        "gearshape",
        R"(<circle cx="12" cy="12" r="3.2"/><path d="M12 2.5v3M12 18.5v3M2.5 12h3M18.5 12h3M5.3 5.3l2.1 2.1M16.6 16.6l2.1 2.1M5.3 18.7l2.1-2.1M16.6 7.4l2.1-2.1"/><circle cx="12" cy="12" r="6.5"/>)"},
    Symbol{
        "sun.max",
        R"(<circle cx="12" cy="12" r="4"/><path d="M12 2v3M12 19v3M2 12h3M19 12h3M4.9 4.9l2.1 2.1M17 17l2.1 2.1M4.9 19.1L7 17M17 7l2.1-2.1"/>)"},
    Symbol{
        "sun.max.fill",
        R"(<circle cx="12" cy="12" r="4.5" fill="currentColor"/><path d="M12 1.5v3M12 19.5v3M1.5 12h3M19.5 12h3M4.6 4.6l2.1 2.1M17.3 17.3l2.1 2.1M4.6 19.4l2.1-2.1M17.3 6.7l2.1-2.1"/>)"},
    Symbol{"moon.fill", R"(<path fill="currentColor" d="M15 3a8.5 8.5 0 1 0 6 14A7 7 0 0 1 15 3z"/>)"},
    Symbol{
        "film.fill",
        R"(<rect x="4" y="3" width="16" height="18" rx="2" fill="currentColor"/><path stroke="white" d="M8 3v18M16 3v18M4 8h4M4 12h4M4 16h4M16 8h4M16 12h4M16 16h4"/>)"},
    Symbol{"circle.lefthalf.filled",
           R"(<circle cx="12" cy="12" r="8.5"/><path fill="currentColor" d="M12 3.5a8.5 8.5 0 0 0 0 17z"/>)"},
    Symbol{
        "speaker.wave.2.fill",
        R"(<path fill="currentColor" d="M3 9h4l5-4v14l-5-4H3z"/><path d="M15.5 9a4 4 0 0 1 0 6M18 6.5a7.5 7.5 0 0 1 0 11"/>)"},
    Symbol{"plus", R"(<path d="M12 5v14M5 12h14"/>)"},
    Symbol{"pencil", R"(<path d="M4 20l1-4L16 5l3 3L8 19zM14 7l3 3"/>)"},
    Symbol{"xmark", R"(<path d="M6 6l12 12M18 6L6 18"/>)"},
    Symbol{
        "xmark.circle.fill",
        R"(<circle cx="12" cy="12" r="9" fill="currentColor"/><path stroke="white" d="M8.5 8.5l7 7M15.5 8.5l-7 7"/>)"},
    Symbol{"chevron.down", R"(<path d="M6 9l6 6 6-6"/>)"},
    Symbol{"chevron.up", R"(<path d="M6 15l6-6 6 6"/>)"},
    Symbol{"chevron.left", R"(<path d="M15 6l-6 6 6 6"/>)"},
    Symbol{"chevron.right", R"(<path d="M9 6l6 6-6 6"/>)"},
    Symbol{"display", R"(<rect x="3" y="4" width="18" height="12" rx="1.5"/><path d="M9 20h6M12 16v4"/>)"},
    Symbol{"laptopcomputer", R"(<rect x="5" y="5" width="14" height="10" rx="1.5"/><path d="M2 19h20"/>)"},
    Symbol{"gauge", R"(<path d="M4 16a8 8 0 1 1 16 0"/><path d="M12 16l4-5"/>)"},
    Symbol{"arrow.clockwise", R"(<path d="M19 12a7 7 0 1 1-2.1-5M19 4v4h-4"/>)"},
    Symbol{
        "rectangle.inset.filled",
        R"(<rect x="3" y="5" width="18" height="14" rx="2"/><rect x="6" y="8" width="12" height="8" fill="currentColor"/>)"},
    Symbol{"power", R"(<path d="M12 3v8M7 6a7 7 0 1 0 10 0"/>)"},
    Symbol{"cable.connector",
           R"(<rect x="7" y="3" width="10" height="8" rx="1"/><path d="M10 3v3M14 3v3M12 11v10"/>)"},
    Symbol{"rectangle.connected.to.line.below",
           R"(<rect x="4" y="3" width="16" height="10" rx="1.5"/><path d="M12 13v4M4 20h16"/>)"},
    Symbol{"tv", R"(<rect x="3" y="5" width="18" height="12" rx="1.5"/><path d="M8 20h8"/>)"},
    Symbol{
        "slider.horizontal.3",
        R"(<path d="M3 6h18M3 12h18M3 18h18"/><circle cx="8" cy="6" r="2" fill="currentColor"/><circle cx="16" cy="12" r="2" fill="currentColor"/><circle cx="10" cy="18" r="2" fill="currentColor"/>)"},
    Symbol{"sunrise", R"(<path d="M3 18h18M7 18a5 5 0 0 1 10 0M12 4v5M9 7l3-3 3 3"/>)"},
    Symbol{"sunset", R"(<path d="M3 18h18M7 18a5 5 0 0 1 10 0M12 4v5M9 6l3 3 3-3"/>)"},
    Symbol{"clock", R"(<circle cx="12" cy="12" r="8.5"/><path d="M12 7v5l3 2"/>)"},
    Symbol{"location", R"(<path d="M21 3L3 11l8 2 2 8z"/>)"},
};

const Symbol* find(std::string_view name) {
    for (const auto& s : symbols)
        if (s.name == name)
            return &s;
    return nullptr;
}

QIcon drawn(const Symbol& symbol) {
    // Mid-grey reads on both light and dark panels.
    QByteArray svg = QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" "
                                "viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"#7f7f85\" color=\"#7f7f85\" "
                                "stroke-width=\"1.8\" stroke-linecap=\"round\" stroke-linejoin=\"round\">") +
                     QByteArray(symbol.body).replace("currentColor", "#7f7f85") + "</svg>";
    QPixmap pixmap;
    if (!pixmap.loadFromData(svg, "SVG"))
        return {};
    return QIcon(pixmap);
}

} // namespace

bool knownSymbol(std::string_view name) {
    return find(name) != nullptr;
}

QIcon symbolIcon(std::string_view name) {
    static std::map<std::string, QIcon, std::less<>> cache;
    if (auto it = cache.find(name); it != cache.end())
        return it->second;
    const Symbol* symbol = find(name);
    if (!symbol)
        symbol = find("slider.horizontal.3");
    // Always the bundled drawing: an icon theme's pictures would mix styles and colours on one page.
    QIcon icon = drawn(*symbol);
    cache.emplace(std::string(name), icon);
    return icon;
}

} // namespace brivio
