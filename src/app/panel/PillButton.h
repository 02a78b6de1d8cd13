#pragma once
// A rounded pill of the control strip: a symbol, a text and, for pills that open a list, a chevron.
// The list is asked for afresh each time the pill opens, so it always shows the current ticks.

#include "modes/DropdownItem.h"

#include <QAbstractButton>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

namespace brivio {

class HoverGrowth;

class PillButton : public QAbstractButton {
    Q_OBJECT
public:
    using Rows = std::function<std::vector<DropdownItem>()>;

    PillButton(std::string_view symbol, const QString& text, QWidget* parent = nullptr);

    void setSymbol(std::string_view symbol);
    const std::string& symbol() const { return symbol_; }
    // Gives the pill a dropdown (and its chevron); the width follows the widest row, at least `minimumWidth`.
    void setRows(Rows rows, double minimumWidth);
    // The widths are measured over these rows instead of the shown ones (a list that can grow).
    void setWidthRows(Rows rows) { widthRows_ = std::move(rows); }
    // Faded pills are drawn at 35 % opacity.
    void setFaded(bool faded);
    double opacity() const { return faded_ ? 0.35 : 1.0; }
    // Grows to `scale` while hovered and enabled (the power button: 1.02).
    void setHoverGrowth(double scale);
    double growth() const;

    // Opens the dropdown under the pill (also what a click does); null for a pill without rows.
    QMenu* openDropdown();
    // The open dropdown, if any.
    QMenu* dropdown() const { return menu_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::string symbol_;
    Rows rows_;
    Rows widthRows_;
    double minimumMenuWidth_ = 0;
    bool faded_ = false;
    bool hovered_ = false;
    HoverGrowth* growth_ = nullptr;
    QPointer<QMenu> menu_;
};

} // namespace brivio
