#include "app/panel/ThemeDot.h"

#include "app/panel/PanelTheme.h"

#include <QPainter>

namespace brivio {

ThemeDot::ThemeDot(SliderTheme theme, QWidget* parent) : QAbstractButton(parent), theme_(theme) {
    setObjectName(QStringLiteral("ThemeDot_") +
                  QString::fromLatin1(rawValue(theme).data(), rawValue(theme).size()));
    setToolTip(themeName(theme));
    setAccessibleName(themeName(theme));
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void ThemeDot::setSelected(bool selected) {
    selected_ = selected;
    update();
}

void ThemeDot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor accent = accentColor(theme_, *this);
    QRectF area = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    if (selected_) {
        p.setPen(QPen(accent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(area);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawEllipse(area.adjusted(4, 4, -4, -4));
}

} // namespace brivio
