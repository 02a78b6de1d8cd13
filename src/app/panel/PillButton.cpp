#include "app/panel/PillButton.h"

#include "app/panel/HoverGrowth.h"
#include "app/panel/LiteralText.h"
#include "app/panel/PanelSymbols.h"
#include "modes/ModePills.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <cmath>

namespace brivio {

namespace {
constexpr int padding = 8;
constexpr int symbolSize = 14;
constexpr int chevronSize = 10;
constexpr int gap = 6;
constexpr int pillHeight = 26;
} // namespace

PillButton::PillButton(std::string_view symbol, const QString& text, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(pillHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] { openDropdown(); });
}

void PillButton::setSymbol(std::string_view symbol) {
    if (symbol_ == symbol)
        return;
    symbol_ = symbol;
    update();
}

void PillButton::setRows(Rows rows, double minimumWidth) {
    rows_ = std::move(rows);
    minimumMenuWidth_ = minimumWidth;
    updateGeometry();
    update();
}

void PillButton::setFaded(bool faded) {
    faded_ = faded;
    update();
}

void PillButton::setHoverGrowth(double scale) {
    if (!growth_)
        growth_ = new HoverGrowth(*this, scale);
    growth_->setAllowed(isEnabled());
}

double PillButton::growth() const {
    return growth_ ? growth_->scale() : 1.0;
}

QMenu* PillButton::openDropdown() {
    if (!rows_ || !isEnabled())
        return nullptr;
    if (menu_)
        menu_->close();
    auto rows = rows_();
    auto* menu = new QMenu(this);
    menu->setObjectName(objectName() + QStringLiteral("Dropdown"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& row : rows) {
        if (row.isSeparator) {
            menu->addSeparator();
            continue;
        }
        auto* action = menu->addAction(literalButtonText(QString::fromStdString(row.title)));
        if (row.icon)
            action->setIcon(symbolIcon(*row.icon));
        action->setCheckable(row.isChecked);
        action->setChecked(row.isChecked);
        connect(action, &QAction::triggered, this, [action = row.action] {
            if (action)
                action();
        });
    }
    QFont font = menu->font();
    font.setPixelSize(13);
    QFontMetricsF metrics(font);
    auto measure = [&](std::string_view title) {
        return metrics.horizontalAdvance(QString::fromUtf8(title.data(), qsizetype(title.size())));
    };
    double width = dropdownWidth(widthRows_ ? widthRows_() : rows, minimumMenuWidth_, measure);
    menu->setMinimumWidth(int(std::ceil(width)));
    menu_ = menu;
    menu->popup(mapToGlobal(QPoint(0, height())));
    return menu;
}

QSize PillButton::sizeHint() const {
    int w = padding + symbolSize + gap + fontMetrics().horizontalAdvance(text()) + padding;
    if (rows_)
        w += gap + chevronSize;
    return {w, pillHeight};
}

QSize PillButton::minimumSizeHint() const {
    return {padding * 2 + symbolSize, pillHeight};
}

void PillButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity());
    // A pill that grows is drawn a little inside its bounds, so that it has room to grow into.
    QRect pill = rect();
    if (growth_) {
        growth_->setAllowed(isEnabled());
        pill = rect().adjusted(growth_->margin(width()), growth_->margin(height()), -growth_->margin(width()),
                               -growth_->margin(height()));
        QPointF centre = QRectF(rect()).center();
        p.translate(centre);
        p.scale(growth_->scale(), growth_->scale());
        p.translate(-centre);
    }
    QColor fill = palette().color(QPalette::Mid);
    fill.setAlphaF(hovered_ && isEnabled() ? 0.32f : 0.18f);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(pill).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

    QRect content = pill.adjusted(padding, 0, -padding, 0);
    QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    symbolIcon(symbol_).paint(&p, QRect(content.left(), (height() - symbolSize) / 2, symbolSize, symbolSize),
                              Qt::AlignCenter, mode);
    int textLeft = content.left() + symbolSize + gap;
    int textRight = content.right() - (rows_ ? chevronSize + gap : 0);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    QRect textRect(textLeft, 0, std::max(0, textRight - textLeft), height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
    if (rows_)
        symbolIcon("chevron.down")
            .paint(
                &p,
                QRect(content.right() - chevronSize, (height() - chevronSize) / 2, chevronSize, chevronSize),
                Qt::AlignCenter, mode);
}

void PillButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PillButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace brivio
