#include "app/panel/BrivioRootView.h"

#include "app/panel/AppRouter.h"
#include "app/panel/DisplayCardView.h"
#include "app/panel/GlobalPresetCardView.h"
#include "app/panel/LaidOutFocus.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PresetEditorView.h"
#include "app/panel/ScheduleCardView.h"
#include "core/DisplayController.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace brivio {

namespace {

// Asks for as much height as its content needs; the panel window caps it at the screen's height,
// and beyond that it scrolls.
class FittingScrollArea : public QScrollArea {
public:
    explicit FittingScrollArea(QWidget* parent) : QScrollArea(parent) {}
    QSize sizeHint() const override {
        QSize content = widget() ? widget()->sizeHint() : QSize();
        int frame = 2 * frameWidth();
        return {content.width() + frame + verticalScrollBar()->sizeHint().width(), content.height() + frame};
    }

protected:
    // A card that grows or shrinks changes the height the page asks for.
    bool eventFilter(QObject* watched, QEvent* event) override {
        bool handled = QScrollArea::eventFilter(watched, event);
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return handled;
    }
};

} // namespace

BrivioRootView::BrivioRootView(DisplayController& controller, BrivioPreferences& preferences,
                               AppRouter& router, QWidget* parent)
    : QWidget(parent), controller_(controller), preferences_(preferences), settings_(new QToolButton(this)),
      scroll_(new FittingScrollArea(this)), quit_(new QPushButton(QStringLiteral("Quit"), this)),
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
    emptyTitle_ = new QLabel(empty_);
    emptyTitle_->setObjectName(QStringLiteral("emptyTitle"));
    QFont emptyFont = emptyTitle_->font();
    emptyFont.setWeight(QFont::DemiBold);
    emptyTitle_->setFont(emptyFont);
    emptyLine_ = new QLabel(empty_);
    emptyLine_->setObjectName(QStringLiteral("emptyLine"));
    emptyLine_->setForegroundRole(QPalette::PlaceholderText);
    emptyLine_->setWordWrap(true);
    emptyLine_->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(emptyTitle_, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyLine_);
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
    // Not a Tab stop of its own, where focus would show nowhere: Tab scrolls to what it reaches.
    scroll_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(scroll_);

    quit_->setObjectName(QStringLiteral("quitButton"));
    layout->addWidget(quit_, 0, Qt::AlignRight);
    // A window taller than the page keeps the page at its top.
    layout->addStretch(0);

    connect(presets_, &GlobalPresetCardView::editingChanged, this, [this](bool editing) {
        if (editing)
            reveal(presets_->editor());
    });
    connect(schedules_, &ScheduleCardView::editorOpened, this, [this](QWidget* editor) { reveal(editor); });
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
    // Once an enumeration has come back empty, waiting longer will not help: say so and where to look.
    bool enumerated = controller_.enumerationCount() > 0;
    emptyTitle_->setText(enumerated ? QStringLiteral("No displays found")
                                    : QStringLiteral("Detecting displays…"));
    emptyLine_->setText(enumerated
                            ? QStringLiteral("Connected monitors will appear here. If one is connected, run "
                                             "\u201Cbrivioctl doctor\u201D in a terminal to see why it is "
                                             "missing.")
                            : QStringLiteral("Connected monitors will appear here."));
    ordered_ = std::move(ordered);
}

void BrivioRootView::reveal(QWidget* widget) {
    QPointer<QWidget> target = widget;
    // The editor has just been shown: its size is known once the queued layout requests have run.
    QTimer::singleShot(0, this, [this, target] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (!target || !target->isVisible() || !scroll_->widget()->isAncestorOf(target))
            return;
        constexpr int margin = 8;
        int top = target->mapTo(scroll_->widget(), QPoint(0, 0)).y();
        // One taller than the view shows its top (its title and first fields), not its middle.
        if (target->height() + 2 * margin > scroll_->viewport()->height())
            scroll_->verticalScrollBar()->setValue(top - margin);
        else
            scroll_->ensureWidgetVisible(target, 0, margin);
    });
}

bool BrivioRootView::focusNextPrevChild(bool next) {
    return moveFocusAsLaidOut(*this, next) || QWidget::focusNextPrevChild(next);
}

} // namespace brivio
