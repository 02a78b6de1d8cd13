#pragma once
// The panel: the three pages in one stack, showing the one the router asks for. With a tray it is a
// frameless popup next to the icon; without one, a small normal window. Its size follows the page it
// shows, up to the height of the screen; page changes are animated.

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QStackedWidget>

namespace brivio {

class AppRouter;

class PanelWindow : public QStackedWidget {
    Q_OBJECT
public:
    // Room kept between a panel as tall as the screen allows and the screen's edges.
    static constexpr int screenMargin = 8;
    // How far the main page and the settings page move while they cross.
    static constexpr int pageShift = 18;
    static constexpr int welcomeFadeMs = 380;

    // The pages become children of the panel.
    PanelWindow(AppRouter& router, QWidget* rootPage, QWidget* settingsPage, QWidget* welcomePage,
                bool asPopup);

    // Shows the panel next to `anchor` (the tray icon's frame; empty: centred on the primary screen).
    void popUp(const QRect& anchor);
    // A tray appeared (popup next to it) or went away (a window); a panel on screen is closed.
    void setPopup(bool asPopup);
    bool isPopup() const { return popup_; }
    void showPage();
    QWidget* currentPage() const { return currentWidget(); }
    // A page change is being animated.
    bool isChangingPage() const { return crossing_ != nullptr; }

    // The page on show's own size, not the largest of the three.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The panel was hidden (a popup also when a click elsewhere closed it).
    void closed();

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Sizes the window to the page, no taller than the screen; a popup keeps its side of the icon.
    void fitToPage();
    QRect screenArea() const;
    void cross(QPixmap from, QPixmap to, int fromShift, int toShift, bool spring);

    AppRouter& router_;
    QWidget* root_;
    QWidget* settings_;
    QWidget* welcome_;
    bool popup_;
    QRect anchor_;
    QPointer<QWidget> crossing_;
};

} // namespace brivio
