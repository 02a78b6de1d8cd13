#pragma once
// The tray icon (a display with a small sun, in the panel's text colour) and the click that opens the
// panel. A StatusNotifierItem host is used where the desktop has one, an XEmbed tray otherwise; a host
// that appears later (the desktop's panel often starts after an autostarted app) is taken up, and one
// that goes away gives the app back its window: the tray sets whether the panel is its popup.

#include <QColor>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QRect>
#include <memory>
#include <optional>

class QSystemTrayIcon;
class QTimer;

namespace brivio {

class PanelWindow;
class StatusNotifierItem;

// The symbolic icon drawn in `ink` at `size` pixels: the display outline with the sun centred on it
// and lifted by 8 %.
QImage brivioTrayImage(const QColor& ink, int size);
// The colour the tray's icon is drawn in: the palette's text colour, which contrasts with the panel
// colours of the same scheme.
QColor trayInk();

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `bus` carries the StatusNotifierItem (a disconnected one: XEmbed only); `xembed` lets it fall back
    // to an XEmbed tray, looked for every few seconds while no tray shows the icon.
    TrayIcon(PanelWindow& panel, QDBusConnection bus, bool xembed, QObject* parent = nullptr);
    ~TrayIcon() override;

    // A host shows the icon.
    bool available() const;
    // Where the icon is: the XEmbed tray's frame, the last click a StatusNotifierItem host reported,
    // or before any click the spot where trays usually sit. Absent without a tray.
    std::optional<QRect> iconFrame() const;
    // Opens the panel at the icon (a second launch asking, or the desktop menu); centred without a tray.
    void openPanel();
    // What a click a host reports at `at` (screen coordinates; null when it gave none) does: opens the
    // panel next to it, or closes it when it is open.
    void activateAt(QPoint at);
    StatusNotifierItem* item() const { return item_.get(); }

    // Whether a host was found is known (StatusNotifierItem answered, XEmbed looked for).
    bool isSettled() const { return settled_; }

Q_SIGNALS:
    void availabilityChanged(bool available);
    void settled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateIcons();
    void lookForXEmbed();
    void useXEmbed(bool use);
    void announce();
    void toggleAt(const QRect& anchor);

    PanelWindow& panel_;
    std::unique_ptr<StatusNotifierItem> item_;
    std::unique_ptr<QSystemTrayIcon> xembed_;
    QTimer* xembedPoll_ = nullptr;
    std::optional<QRect> clickedAt_;
    QString themeFolder_;
    QElapsedTimer sincePanelClosed_;
    bool closingFromTray_ = false;
    bool xembedAllowed_;
    bool available_ = false;
    bool settled_ = false;
};

} // namespace brivio
