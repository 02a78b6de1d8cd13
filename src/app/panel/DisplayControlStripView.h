#pragma once
// The control strip of one display card: resolution, scale and refresh rate, rotation, input source
// and power off, with the keep-or-revert banners of an unconfirmed change.

#include <QWidget>

namespace brivio {

class DisplayController;
struct ManagedDisplay;

class DisplayControlStripView : public QWidget {
    Q_OBJECT
public:
    DisplayControlStripView(DisplayController& controller, const ManagedDisplay& display,
                            QWidget* parent = nullptr);
};

} // namespace brivio
