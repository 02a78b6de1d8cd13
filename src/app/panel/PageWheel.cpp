#include "app/panel/PageWheel.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <cstdlib>

namespace brivio {

namespace {

class WheelToPage final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel)
            return false;
        auto* control = static_cast<QWidget*>(watched);
        if (control->hasFocus())
            return false;
        // Sliders keep wheel events from their parents, so the page's scroll area is handed it here,
        // as it hands its own to its scroll bars.
        for (QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
            if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
                auto* wheel = static_cast<QWheelEvent*>(event);
                bool sideways = std::abs(wheel->angleDelta().x()) > std::abs(wheel->angleDelta().y());
                QCoreApplication::sendEvent(
                    sideways ? area->horizontalScrollBar() : area->verticalScrollBar(), event);
                return true;
            }
        }
        event->ignore();
        return true;
    }
};

} // namespace

void letWheelScrollPage(QWidget& control) {
    static WheelToPage filter;
    control.setFocusPolicy(Qt::StrongFocus);
    control.installEventFilter(&filter);
}

} // namespace brivio
