#include "app/panel/LaidOutFocus.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QWidget>
#include <algorithm>
#include <set>

namespace brivio {

namespace {

struct FocusWalk {
    std::vector<QWidget*> chain;
    std::set<QWidget*> seen;

    void widget(QWidget* w) {
        if (!w || !seen.insert(w).second || w->isHidden() || w->isWindow())
            return;
        if (w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            chain.push_back(w);
        // These hold parts of their own (a line edit, a popup) that are not separate stops.
        if (qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QAbstractSlider*>(w) || qobject_cast<QLineEdit*>(w))
            return;
        if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
            widget(scroll->widget());
            return;
        }
        if (QLayout* l = w->layout())
            layout(l);
        for (QObject* child : w->children())
            if (child->isWidgetType())
                widget(static_cast<QWidget*>(child));
    }

    void layout(QLayout* l) {
        for (int i = 0; i < l->count(); ++i) {
            QLayoutItem* item = l->itemAt(i);
            if (QWidget* w = item->widget())
                widget(w);
            else if (QLayout* inner = item->layout())
                layout(inner);
        }
    }
};

QWidget* resolved(QWidget* w) {
    while (w && w->focusProxy())
        w = w->focusProxy();
    return w;
}

} // namespace

std::vector<QWidget*> focusChainAsLaidOut(QWidget& page) {
    FocusWalk walk;
    walk.seen.insert(&page);
    if (QLayout* l = page.layout())
        walk.layout(l);
    for (QObject* child : page.children())
        if (child->isWidgetType())
            walk.widget(static_cast<QWidget*>(child));
    return walk.chain;
}

bool moveFocusAsLaidOut(QWidget& page, bool next) {
    auto chain = focusChainAsLaidOut(page);
    if (chain.empty())
        return false;
    QWidget* focus = QApplication::focusWidget();
    auto at = std::find_if(chain.begin(), chain.end(), [focus](QWidget* w) { return resolved(w) == focus; });
    std::ptrdiff_t n = std::ssize(chain);
    std::ptrdiff_t i = at == chain.end() ? (next ? -1 : 0) : at - chain.begin();
    std::ptrdiff_t target = ((i + (next ? 1 : -1)) % n + n) % n;
    chain[std::size_t(target)]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace brivio
