#pragma once
// The tray icon (a display with a small sun) and the click that opens the panel.

#include <QIcon>
#include <QObject>
#include <memory>

class QSystemTrayIcon;

namespace brivio {

class PanelWindow;

// Drawn once and cached: the display outline with the sun centred on it and lifted by 8 %.
QIcon brivioTrayIcon();

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // Without a system tray the panel is shown as a window at once (and on every activation).
    TrayIcon(PanelWindow& panel, QObject* parent = nullptr);
    ~TrayIcon() override;

    bool available() const { return tray_ != nullptr; }
    QSystemTrayIcon* tray() const { return tray_.get(); }
    // Opens the panel (a click on the icon, or another launch asking).
    void openPanel();

private:
    PanelWindow& panel_;
    std::unique_ptr<QSystemTrayIcon> tray_;
};

} // namespace brivio
