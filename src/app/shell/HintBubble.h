#pragma once
// The hint bubble drawn with Qt: "Brivio is here" in a capsule under the tray icon, fading in and out,
// reporting mouse presses the application sees.

#include "app/shell/MenuBarHintWindowController.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QSystemTrayIcon;
class QWidget;

namespace brivio {

class HintBubble final : public QObject, public HintPresenter {
    Q_OBJECT
public:
    // `tray` may be null (no tray: no hint).
    explicit HintBubble(QSystemTrayIcon* tray, QObject* parent = nullptr);
    ~HintBubble() override;

    void setTray(QSystemTrayIcon* tray) { tray_ = tray; }

    std::optional<Rect> statusItemFrame() override;
    void showBubble(const Rect& item, std::function<void()> onClick) override;
    void hideBubble() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSystemTrayIcon* tray_;
    QPointer<QWidget> window_;
    std::function<void()> onClick_;
};

} // namespace brivio
