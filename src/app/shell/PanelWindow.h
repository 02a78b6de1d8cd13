#pragma once
// The panel: the three pages in one stack, showing the one the router asks for. With a tray it is a
// frameless popup next to the icon; without one, a small normal window.

#include <QStackedWidget>

namespace brivio {

class AppRouter;

class PanelWindow : public QStackedWidget {
    Q_OBJECT
public:
    // The pages become children of the panel.
    PanelWindow(AppRouter& router, QWidget* rootPage, QWidget* settingsPage, QWidget* welcomePage,
                bool asPopup);

    // Shows the panel next to `anchor` (the tray icon's frame; empty: centred on the primary screen).
    void popUp(const QRect& anchor);
    void showPage();
    QWidget* currentPage() const { return currentWidget(); }

private:
    AppRouter& router_;
    QWidget* root_;
    QWidget* settings_;
    QWidget* welcome_;
};

} // namespace brivio
