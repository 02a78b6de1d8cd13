#include "app/panel/PanelTheme.h"

#include <QFont>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace brivio {

namespace {

struct ThemeColours {
    const char* name;
    QRgb light;
    QRgb dark;
};

ThemeColours colours(SliderTheme theme) {
    switch (theme) {
    case SliderTheme::haze:
        return {"Haze", qRgb(144, 136, 187), qRgb(178, 164, 227)};
    case SliderTheme::volt:
        return {"Volt", qRgb(112, 176, 66), qRgb(131, 201, 87)};
    case SliderTheme::slate:
        return {"Slate", qRgb(138, 138, 142), qRgb(163, 165, 170)};
    case SliderTheme::alpine:
        return {"Alpine", qRgb(114, 153, 127), qRgb(130, 182, 148)};
    case SliderTheme::shore:
        return {"Shore", qRgb(104, 153, 170), qRgb(114, 179, 199)};
    case SliderTheme::clay:
        return {"Clay", qRgb(184, 135, 110), qRgb(208, 151, 120)};
    case SliderTheme::nordic:
        return {"Nordic", qRgb(112, 136, 184), qRgb(130, 158, 212)};
    }
    return {"Haze", qRgb(144, 136, 187), qRgb(178, 164, 227)};
}

double channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

QString themeName(SliderTheme theme) {
    return QString::fromLatin1(colours(theme).name);
}

QColor accentColor(SliderTheme theme, bool dark) {
    auto c = colours(theme);
    return QColor(dark ? c.dark : c.light);
}

bool prefersDark(const QWidget& widget) {
    return widget.palette().color(QPalette::Window).lightness() < 128;
}

QColor accentColor(SliderTheme theme, const QWidget& widget) {
    return accentColor(theme, prefersDark(widget));
}

void styleSectionTitle(QWidget& label) {
    QFont font = label.font();
    font.setCapitalization(QFont::AllUppercase);
    font.setWeight(QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    label.setFont(font);
}

double contrastRatio(const QColor& a, const QColor& b) {
    double la = luminance(a);
    double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor legibleOn(const QColor& color, const QColor& background, double ratio) {
    // Toward black on light backgrounds, toward white on dark ones, keeping the hue.
    QColor target = luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    QColor out = color.toRgb();
    for (int step = 1; step <= 20 && contrastRatio(out, background) < ratio; ++step) {
        double t = step / 20.0;
        QColor base = color.toRgb();
        out = QColor::fromRgbF(float(base.redF() + (target.redF() - base.redF()) * t),
                               float(base.greenF() + (target.greenF() - base.greenF()) * t),
                               float(base.blueF() + (target.blueF() - base.blueF()) * t));
    }
    return out;
}

QColor textOn(const QColor& fill) {
    return contrastRatio(fill, Qt::black) >= contrastRatio(fill, Qt::white) ? QColor(Qt::black)
                                                                            : QColor(Qt::white);
}

QColor cardBackground(const QWidget& widget) {
    QColor window = widget.palette().color(QPalette::Window).toRgb();
    auto mix = [](int c) { return int(std::lround(c * 0.88 + 128 * 0.12)); };
    return QColor(mix(window.red()), mix(window.green()), mix(window.blue()));
}

} // namespace brivio
