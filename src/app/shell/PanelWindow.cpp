#include "app/shell/PanelWindow.h"

#include "app/panel/AppRouter.h"
#include "app/panel/Motion.h"
#include "app/shell/TrayPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QScreen>
#include <QVariantAnimation>
#include <algorithm>

namespace brivio {

namespace {

// The two pages while they change places, as pictures: the old one fading out while it moves one way,
// the new one fading in from the other side. It covers the panel for the few tenths of a second this
// takes.
class PageCrossing final : public QWidget {
public:
    PageCrossing(QWidget* parent, QPixmap from, QPixmap to, int fromShift, int toShift)
        : QWidget(parent), from_(std::move(from)), to_(std::move(to)), fromShift_(fromShift),
          toShift_(toShift) {
        setAutoFillBackground(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setProgress(double t) {
        t_ = t;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        // A spring may run a hair past its end: the position follows it, the opacity stops at 1.
        double shown = std::clamp(t_, 0.0, 1.0);
        p.setOpacity(1.0 - shown);
        p.drawPixmap(QPointF(fromShift_ * t_, 0), from_);
        p.setOpacity(shown);
        p.drawPixmap(QPointF(toShift_ * (1.0 - t_), 0), to_);
    }

private:
    QPixmap from_;
    QPixmap to_;
    int fromShift_;
    int toShift_;
    double t_ = 0.0;
};

QScreen* screenFor(const QRect& anchor) {
    QScreen* screen = anchor.isEmpty() ? nullptr : QGuiApplication::screenAt(anchor.center());
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

PanelWindow::PanelWindow(AppRouter& router, QWidget* rootPage, QWidget* settingsPage, QWidget* welcomePage,
                         bool asPopup)
    : QStackedWidget(nullptr), router_(router), root_(rootPage), settings_(settingsPage),
      welcome_(welcomePage), popup_(asPopup) {
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

QSize PanelWindow::sizeHint() const {
    QWidget* page = currentWidget();
    if (!page)
        return QStackedWidget::sizeHint();
    return page->sizeHint().expandedTo(page->minimumSizeHint()).expandedTo(page->minimumSize());
}

QSize PanelWindow::minimumSizeHint() const {
    QWidget* page = currentWidget();
    return page ? page->minimumSizeHint().expandedTo(page->minimumSize()) : QStackedWidget::minimumSizeHint();
}

void PanelWindow::showPage() {
    // Welcome covers both other pages; settings replaces the main page.
    QWidget* target = router_.showingWelcome() ? welcome_ : router_.showingSettings() ? settings_ : root_;
    QWidget* from = currentWidget();
    if (target == from)
        return;
    // The welcome page plays its own entrance when it is shown.
    bool animate = from && isVisible() && !reducedMotion() && target != welcome_;
    if (!animate) {
        setCurrentWidget(target);
        fitToPage();
        return;
    }
    QPixmap before = from->grab();
    setCurrentWidget(target);
    fitToPage();
    // Laid out at the panel's new size before its picture is taken.
    target->setGeometry(contentsRect());
    if (target->layout())
        target->layout()->activate();
    QPixmap after = target->grab();
    if (from == welcome_)
        cross(before, after, 0, 0, false);
    else if (target == settings_)
        cross(before, after, -pageShift, pageShift, true);
    else
        cross(before, after, pageShift, -pageShift, true);
}

void PanelWindow::cross(QPixmap from, QPixmap to, int fromShift, int toShift, bool spring) {
    if (crossing_)
        delete crossing_.data();
    auto* overlay = new PageCrossing(this, std::move(from), std::move(to), fromShift, toShift);
    overlay->setGeometry(rect());
    overlay->show();
    overlay->raise();
    QVariantAnimation* animation = nullptr;
    if (spring) {
        animation = new SpringAnimation(pageSpring, overlay);
    } else {
        animation = new QVariantAnimation(overlay);
        animation->setDuration(welcomeFadeMs);
        animation->setEasingCurve(QEasingCurve::InOutCubic);
    }
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    connect(animation, &QVariantAnimation::valueChanged, overlay,
            [overlay](const QVariant& v) { overlay->setProgress(v.toDouble()); });
    connect(animation, &QVariantAnimation::finished, overlay, &QObject::deleteLater);
    crossing_ = overlay;
    animation->start();
}

QRect PanelWindow::screenArea() const {
    QScreen* s = isVisible() && screen() ? screen() : screenFor(anchor_);
    return s ? s->availableGeometry() : QRect(0, 0, 1280, 800);
}

void PanelWindow::fitToPage() {
    if (!currentWidget())
        return;
    QRect area = screenArea();
    QSize want = sizeHint().expandedTo(minimumSize());
    want.setHeight(std::max(minimumHeight(), std::min(want.height(), area.height() - 2 * screenMargin)));
    want.setWidth(std::min(want.width(), area.width()));
    if (want != size()) {
        if (isVisible() && popup_ && !anchor_.isEmpty()) {
            // A panel under a top bar grows downward, one over a bottom bar upward.
            QScreen* s = screenFor(anchor_);
            setGeometry(QRect(panelPosition(anchor_, want, s->geometry(), s->availableGeometry()), want));
        } else if (isVisible()) {
            QRect g(pos(), want);
            g.moveTop(
                std::clamp(g.top(), area.top(), std::max(area.top(), area.bottom() + 1 - want.height())));
            setGeometry(g);
        } else {
            resize(want);
        }
    }
    if (crossing_)
        crossing_->setGeometry(rect());
}

void PanelWindow::popUp(const QRect& anchor) {
    anchor_ = anchor;
    fitToPage();
    QScreen* screen = screenFor(anchor);
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    QSize size = this->size();
    QPoint at;
    if (anchor.isEmpty()) {
        at = area.center() - QPoint(size.width() / 2, size.height() / 2);
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    } else {
        at = panelPosition(anchor, size, screen->geometry(), area);
    }
    move(at);
    show();
    raise();
    activateWindow();
}

void PanelWindow::setPopup(bool asPopup) {
    if (popup_ == asPopup)
        return;
    popup_ = asPopup;
    hide();
    setWindowFlags(asPopup ? Qt::Popup | Qt::FramelessWindowHint : Qt::Window);
}

bool PanelWindow::event(QEvent* event) {
    bool handled = QStackedWidget::event(event);
    // The page asked for another size: a card opened, an editor closed, another page came.
    if (event->type() == QEvent::LayoutRequest)
        fitToPage();
    return handled;
}

void PanelWindow::hideEvent(QHideEvent* event) {
    QStackedWidget::hideEvent(event);
    Q_EMIT closed();
}

} // namespace brivio
