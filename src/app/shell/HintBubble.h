#pragma once
// The hint bubble drawn with Qt: "Brivio is here" in a capsule with a tail pointing at the tray icon,
// under an icon in a top bar and above one in a bottom bar, always inside the screen. It fades in and
// out, pulses and drifts a little, and reports the mouse presses the application sees.

#include "app/shell/MenuBarHintWindowController.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <optional>

class QWidget;

namespace brivio {

class HintBubble final : public QObject, public HintPresenter {
    Q_OBJECT
public:
    // `itemFrame` says where the tray icon is (absent: no tray, no hint). Without a compositor the
    // window is shaped to the capsule, as nothing would blend its transparent corners.
    HintBubble(std::function<std::optional<QRect>()> itemFrame, bool composited, QObject* parent = nullptr);
    ~HintBubble() override;

    std::optional<Rect> statusItemFrame() override;
    void showBubble(const Rect& item, std::function<void()> onClick) override;
    void hideBubble() override;
    // The bubble on screen, while shown.
    QWidget* window() const { return window_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<std::optional<QRect>()> itemFrame_;
    bool composited_;
    QPointer<QWidget> window_;
    std::function<void()> onClick_;
};

} // namespace brivio
