#include "app/panel/BrivioRootView.h"

#include "app/panel/AppRouter.h"
#include "app/panel/DisplayCardView.h"
#include "app/panel/GlobalPresetCardView.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/ScheduleCardView.h"
#include "core/DisplayController.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace brivio {

namespace {

// Asks for as much height as its content needs, up to a cap; beyond that it scrolls.
class FittingScrollArea : public QScrollArea {
public:
    FittingScrollArea(int maxHeight, QWidget* parent) : QScrollArea(parent), maxHeight_(maxHeight) {}
    QSize sizeHint() const override {
        QSize content = widget() ? widget()->sizeHint() : QSize();
        int frame = 2 * frameWidth();
        return {content.width() + frame + verticalScrollBar()->sizeHint().width(),
                std::min(content.height() + frame, maxHeight_)};
    }

protected:
    // A card that grows or shrinks changes the height the page asks for.
    bool eventFilter(QObject* watched, QEvent* event) override {
        bool handled = QScrollArea::eventFilter(watched, event);
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return handled;
    }

private:
    int maxHeight_;
};

} // namespace

BrivioRootView::BrivioRootView(DisplayController& controller, BrivioPreferences& preferences,
                               AppRouter& router, QWidget* parent)
    : QWidget(parent), controller_(controller), preferences_(preferences), settings_(new QToolButton(this)),
      scroll_(new FittingScrollArea(maxContentHeight, this)),
      quit_(new QPushButton(QStringLiteral("Quit"), this)),
      later_(new LaterRefresh(this, [this] { refreshDisplays(); })) {
    setObjectName(QStringLiteral("BrivioRootView"));
    setMinimumWidth(panelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Brivio"), this);
    title->setObjectName(QStringLiteral("pageTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setWeight(QFont::Bold);
    title->setFont(titleFont);
    settings_->setObjectName(QStringLiteral("settingsButton"));
    settings_->setIcon(symbolIcon("gearshape"));
    settings_->setIconSize(QSize(18, 18));
    settings_->setAutoRaise(true);
    settings_->setToolTip(QStringLiteral("Settings"));
    header->addWidget(title, 1);
    header->addWidget(settings_);
    layout->addLayout(header);

    auto* content = new QWidget(scroll_);
    content->setObjectName(QStringLiteral("pageContent"));
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(10);
    displaysLayout_ = new QVBoxLayout;
    displaysLayout_->setSpacing(10);
    contentLayout->addLayout(displaysLayout_);

    empty_ = new QWidget(content);
    empty_->setObjectName(QStringLiteral("emptyState"));
    auto* emptyLayout = new QVBoxLayout(empty_);
    emptyLayout->setContentsMargins(0, 24, 0, 24);
    auto* emptyTitle = new QLabel(QStringLiteral("Detecting displays…"), empty_);
    emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    QFont emptyFont = emptyTitle->font();
    emptyFont.setWeight(QFont::DemiBold);
    emptyTitle->setFont(emptyFont);
    auto* emptyLine = new QLabel(QStringLiteral("Connected monitors will appear here."), empty_);
    emptyLine->setObjectName(QStringLiteral("emptyLine"));
    emptyLine->setForegroundRole(QPalette::PlaceholderText);
    emptyLayout->addWidget(emptyTitle, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyLine, 0, Qt::AlignHCenter);
    displaysLayout_->addWidget(empty_);

    presets_ = new GlobalPresetCardView(controller_, preferences_, content);
    schedules_ = new ScheduleCardView(controller_, preferences_, content);
    contentLayout->addWidget(presets_);
    contentLayout->addWidget(schedules_);
    contentLayout->addStretch(1);

    scroll_->setObjectName(QStringLiteral("contentScroll"));
    scroll_->setWidget(content);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setMaximumHeight(maxContentHeight);
    layout->addWidget(scroll_);

    quit_->setObjectName(QStringLiteral("quitButton"));
    layout->addWidget(quit_, 0, Qt::AlignRight);
    // A window taller than the page keeps the page at its top.
    layout->addStretch(0);

    connect(settings_, &QToolButton::clicked, this, [&router] { router.openSettings(); });
    connect(quit_, &QPushButton::clicked, this, [&router] { router.quit(); });
    later_->watch(controller_.displaysChanged());
    later_->watch(controller_.warmingUpKeysChanged());
    refreshDisplays();
}

void BrivioRootView::refreshDisplays() {
    const auto& displays = controller_.displays();
    const auto& warming = controller_.warmingUpKeys();
    bool showSyncRow = displays.size() > 1;

    std::vector<DisplayCardView*> ordered;
    std::set<std::string> present;
    for (const ManagedDisplay& display : displays) {
        std::string key = display.identity.stableKey();
        // Two displays that report the same identity share their settings but each keeps its card.
        std::string cardKey = key;
        for (int n = 2; present.count(cardKey); ++n)
            cardKey = key + "#" + std::to_string(n);
        present.insert(cardKey);
        DisplayCardView*& card = cardsByKey_[cardKey];
        if (!card)
            card = new DisplayCardView(controller_, preferences_, display, empty_->parentWidget());
        card->setDisplay(display, showSyncRow, warming.count(key) != 0);
        ordered.push_back(card);
    }
    for (auto it = cardsByKey_.begin(); it != cardsByKey_.end();) {
        if (present.count(it->first)) {
            ++it;
            continue;
        }
        displaysLayout_->removeWidget(it->second);
        delete it->second;
        it = cardsByKey_.erase(it);
    }

    // Re-inserting in order moves the existing widgets; none is rebuilt.
    for (DisplayCardView* card : ordered)
        displaysLayout_->removeWidget(card);
    for (std::size_t i = 0; i < ordered.size(); ++i)
        displaysLayout_->insertWidget(static_cast<int>(i), ordered[i]);
    for (DisplayCardView* card : ordered)
        card->show();
    empty_->setVisible(ordered.empty());
    ordered_ = std::move(ordered);
}

} // namespace brivio
