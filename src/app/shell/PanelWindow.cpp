#include "app/shell/PanelWindow.h"

#include "app/panel/AppRouter.h"

#include <QGuiApplication>
#include <QScreen>

namespace brivio {

PanelWindow::PanelWindow(AppRouter& router, QWidget* rootPage, QWidget* settingsPage, QWidget* welcomePage,
                         bool asPopup)
    : QStackedWidget(nullptr), router_(router), root_(rootPage), settings_(settingsPage),
      welcome_(welcomePage) {
    if (asPopup)
        setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Brivio"));
    addWidget(root_);
    addWidget(settings_);
    addWidget(welcome_);
    connect(&router_, &AppRouter::showingSettingsChanged, this, &PanelWindow::showPage);
    connect(&router_, &AppRouter::showingWelcomeChanged, this, &PanelWindow::showPage);
    showPage();
}

void PanelWindow::showPage() {
    // Welcome covers both other pages; settings replaces the main page.
    if (router_.showingWelcome())
        setCurrentWidget(welcome_);
    else if (router_.showingSettings())
        setCurrentWidget(settings_);
    else
        setCurrentWidget(root_);
}

void PanelWindow::popUp(const QRect& anchor) {
    adjustSize();
    QScreen* screen =
        anchor.isEmpty() ? QGuiApplication::primaryScreen() : QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    QSize size = sizeHint().expandedTo(minimumSize());
    QPoint at;
    if (anchor.isEmpty()) {
        at = area.center() - QPoint(size.width() / 2, size.height() / 2);
    } else {
        // Below the icon when it sits in a top bar, above it when in a bottom one.
        int x = anchor.center().x() - size.width() / 2;
        int y =
            anchor.center().y() < area.center().y() ? anchor.bottom() + 4 : anchor.top() - size.height() - 4;
        at = QPoint(x, y);
    }
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    move(at);
    show();
    raise();
    activateWindow();
}

} // namespace brivio
