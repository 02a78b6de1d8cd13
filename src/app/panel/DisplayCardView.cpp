#include "app/panel/DisplayCardView.h"

#include "app/panel/CCSlider.h"
#include "app/panel/CapabilityBadge.h"
#include "app/panel/DisplayControlStripView.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/ToggleBarRow.h"
#include "core/DisplayController.h"
#include "settings/BrivioPreferences.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace brivio {

namespace {

// Where the sync row stands while it is not in the expanded section: right under brightness.
constexpr int topSyncIndex = 2;
constexpr double defaultContrast = 0.75;
constexpr double defaultVolume = 0.5;

// One line, cut with an ellipsis when the card is narrower than the name.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent) : QLabel(parent) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumWidth(40);
        // A monitor's name is shown as it reads, never as markup.
        setTextFormat(Qt::PlainText);
    }
    void setFullText(const QString& text) {
        full_ = text;
        setToolTip(text);
        elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(full_, Qt::ElideRight, std::max(0, width()))); }

    QString full_;
};

template <typename V> std::optional<V> lookup(const std::map<std::string, V>& map, const std::string& key) {
    auto it = map.find(key);
    if (it == map.end())
        return std::nullopt;
    return it->second;
}

} // namespace

DisplayCardView::DisplayCardView(DisplayController& controller, BrivioPreferences& preferences,
                                 const ManagedDisplay& display, QWidget* parent)
    : QFrame(parent), controller_(controller), preferences_(preferences), display_(display),
      key_(display.identity.stableKey()), theme_(preferences.selectedTheme()),
      showsPercentage_(preferences.showSliderPercentage()), layout_(new QVBoxLayout(this)),
      name_(new ElidedLabel(this)), badge_(new CapabilityBadge(badgeKind(display, false), this)),
      chevron_(new QToolButton(this)), brightness_(new CCSlider("sun.max.fill", sunColor(), this)),
      syncRow_(new ToggleBarRow(QStringLiteral("Sync brightness to this display"), this)),
      dimmingNote_(new QLabel(this)), later_(new LaterRefresh(this, [this] { refresh(); })) {
    setObjectName(QStringLiteral("displayCard"));
    setStyleSheet(QStringLiteral("QFrame#displayCard { background: rgba(128, 128, 128, 0.12); "
                                 "border-radius: 12px; }"));
    layout_->setContentsMargins(12, 10, 12, 10);
    layout_->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    name_->setObjectName(QStringLiteral("displayName"));
    QFont bold = name_->font();
    bold.setWeight(QFont::DemiBold);
    name_->setFont(bold);
    chevron_->setObjectName(QStringLiteral("chevronButton"));
    chevron_->setAutoRaise(true);
    chevron_->setIconSize(QSize(14, 14));
    chevron_->setCursor(Qt::PointingHandCursor);
    header->addWidget(name_, 1);
    header->addWidget(badge_);
    header->addWidget(chevron_);
    layout_->addLayout(header);

    brightness_->setObjectName(QStringLiteral("brightnessSlider"));
    brightness_->setRange(0.0, 1.0);
    styleSlider(*brightness_);
    layout_->addWidget(brightness_);
    syncRow_->setObjectName(QStringLiteral("syncRow"));
    layout_->insertWidget(topSyncIndex, syncRow_);
    dimmingNote_->setObjectName(QStringLiteral("dimmingNote"));
    dimmingNote_->setWordWrap(true);
    dimmingNote_->setForegroundRole(QPalette::PlaceholderText);
    dimmingNote_->hide();
    layout_->addWidget(dimmingNote_);

    // A drag follows the finger; a tap on the track glides there, like the other sliders' taps.
    connect(brightness_, &CCSlider::dragged, this,
            [this](double v) { controller_.setUserBrightness(v, cgID(), false, 0s); });
    connect(brightness_, &CCSlider::jumpedTo, this,
            [this](double v) { controller_.setUserBrightness(v, cgID(), true, tapAnimation); });
    connect(chevron_, &QToolButton::clicked, this,
            [this] { preferences_.setDisplayExpanded(key_, !expanded_); });
    connect(syncRow_, &ToggleBarRow::tapped, this, [this] { toggleSync(); });
    later_->watch(preferences_.willChange);

    setDisplay(display, false, false);
}

void DisplayCardView::setDisplay(const ManagedDisplay& display, bool showSyncRow, bool isWarmingUp) {
    display_ = display;
    key_ = display.identity.stableKey();
    showSyncRow_ = showSyncRow;
    isWarmingUp_ = isWarmingUp;
    static_cast<ElidedLabel*>(name_)->setFullText(QString::fromStdString(display.identity.modelName));
    badge_->setKind(badgeKind(display, isWarmingUp));
    const auto& caps = display.capabilities;
    bool undimmable = !caps.supportsHardwareBrightness && caps.softwareDimmingUnavailable.has_value();
    dimmingNote_->setVisible(undimmable);
    if (undimmable)
        dimmingNote_->setText(QStringLiteral("Software dimming is unavailable here: %1.")
                                  .arg(QString::fromStdString(*caps.softwareDimmingUnavailable)));
    // Contrast and volume read at the probe fill the sliders of a monitor nothing is remembered for.
    controller_.seedContrastAndVolume(cgID());
    refresh();
}

QString DisplayCardView::modelName() const {
    return QString::fromStdString(display_.identity.modelName);
}

void DisplayCardView::refresh() {
    bool wasExpanded = expanded_;
    expanded_ = lookup(preferences_.displayExpandedByKey(), key_).value_or(false);
    bool restyle =
        theme_ != preferences_.selectedTheme() || showsPercentage_ != preferences_.showSliderPercentage();
    theme_ = preferences_.selectedTheme();
    showsPercentage_ = preferences_.showSliderPercentage();
    syncSection();

    // Levels in motion refresh the card every frame; the symbol changes only with the state.
    if (wasExpanded != expanded_ || chevron_->icon().isNull())
        chevron_->setIcon(symbolIcon(expanded_ ? "chevron.up" : "chevron.down"));
    QColor accent = accentColor(theme_, *this);
    for (CCSlider* slider : {brightness_, contrast_, volume_})
        if (slider && restyle)
            styleSlider(*slider);
    brightness_->setValue(lookup(preferences_.brightnessByDisplay(), key_).value_or(1.0));
    if (contrast_)
        contrast_->setValue(lookup(preferences_.contrastByDisplay(), key_).value_or(defaultContrast));
    if (volume_)
        volume_->setValue(lookup(preferences_.volumeByDisplay(), key_).value_or(defaultVolume));
    syncRow_->setOn(preferences_.syncLeaderKey() == key_);
    syncRow_->setTint(accent);
    if (extendedDimming_) {
        extendedDimming_->setOn(lookup(preferences_.externalOverlayDimmingByDisplay(), key_).value_or(false));
        extendedDimming_->setTint(accent);
    }
}

void DisplayCardView::syncSection() {
    if (!expanded_) {
        dropSection();
    } else if (!section_) {
        buildSection(true);
    } else if (!(sectionDisplay_ == display_)) {
        // Capabilities found by a late probe (or a new display number) change what the section holds.
        dropSection();
        buildSection(false);
    }
    placeSyncRow();
}

void DisplayCardView::buildSection(bool fadeIn) {
    section_ = new QWidget(this);
    section_->setObjectName(QStringLiteral("expandedSection"));
    sectionLayout_ = new QVBoxLayout(section_);
    sectionLayout_->setContentsMargins(0, 0, 0, 0);
    sectionLayout_->setSpacing(8);
    sectionDisplay_ = display_;
    const auto& caps = display_.capabilities;
    QColor iconColor = palette().color(QPalette::WindowText);

    if (!display_.isBuiltIn) {
        if (caps.supportsHardwareContrast) {
            contrast_ = new CCSlider("circle.lefthalf.filled", iconColor, section_);
            contrast_->setObjectName(QStringLiteral("contrastSlider"));
            styleSlider(*contrast_);
            sectionLayout_->addWidget(contrast_);
            connect(contrast_, &CCSlider::dragged, this,
                    [this](double v) { controller_.setDisplayContrast(v, cgID()); });
            connect(contrast_, &CCSlider::jumpedTo, this, [this](double v) {
                // A level the user picks by hand is no longer the preset's.
                preferences_.setActivePresetID(std::nullopt);
                if (const ManagedDisplay* d = controller_.displayWithID(cgID())) {
                    ManagedDisplay current = *d;
                    controller_.animateContrast(current, v, tapAnimation);
                }
            });
        }
        if (caps.supportsHardwareVolume) {
            volume_ = new CCSlider("speaker.wave.2.fill", iconColor, section_);
            volume_->setObjectName(QStringLiteral("volumeSlider"));
            styleSlider(*volume_);
            sectionLayout_->addWidget(volume_);
            connect(volume_, &CCSlider::dragged, this,
                    [this](double v) { controller_.setDisplayVolume(v, cgID()); });
            connect(volume_, &CCSlider::jumpedTo, this, [this](double v) {
                preferences_.setActivePresetID(std::nullopt);
                if (const ManagedDisplay* d = controller_.displayWithID(cgID())) {
                    ManagedDisplay current = *d;
                    controller_.animateVolume(current, v, tapAnimation);
                }
            });
        }
        sectionSyncIndex_ = sectionLayout_->count();

        extendedDimming_ = new ToggleBarRow(QStringLiteral("Extended Dimming"), section_);
        extendedDimming_->setObjectName(QStringLiteral("extendedDimmingRow"));
        sectionLayout_->addWidget(extendedDimming_);
        auto* caption = new QLabel(QStringLiteral("Dims below hardware floor via overlay"), section_);
        caption->setObjectName(QStringLiteral("extendedDimmingCaption"));
        QFont small = caption->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        caption->setFont(small);
        caption->setForegroundRole(QPalette::PlaceholderText);
        caption->setContentsMargins(10, 0, 0, 0);
        sectionLayout_->addWidget(caption);
        connect(extendedDimming_, &ToggleBarRow::tapped, this, [this] {
            bool on = lookup(preferences_.externalOverlayDimmingByDisplay(), key_).value_or(false);
            controller_.setExtendedDimming(!on, cgID());
        });
    }

    strip_ = new DisplayControlStripView(controller_, display_, section_);
    strip_->setObjectName(QStringLiteral("controlStrip"));
    sectionLayout_->addWidget(strip_);
    layout_->addWidget(section_);

    if (!fadeIn)
        return;
    // Enters with a fade while moving up by four points; the margins keep the height steady.
    auto* effect = new QGraphicsOpacityEffect(section_);
    effect->setOpacity(0.0);
    section_->setGraphicsEffect(effect);
    auto* fade = new QVariantAnimation(section_);
    fade->setDuration(180);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::OutCubic);
    QWidget* section = section_;
    QVBoxLayout* sectionLayout = sectionLayout_;
    connect(fade, &QVariantAnimation::valueChanged, section, [effect, sectionLayout](const QVariant& v) {
        double t = v.toDouble();
        effect->setOpacity(t);
        int shift = qRound(4 * (1.0 - t));
        sectionLayout->setContentsMargins(0, shift, 0, 4 - shift);
    });
    connect(fade, &QVariantAnimation::finished, section, [section] { section->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void DisplayCardView::dropSection() {
    if (!section_)
        return;
    // The sync row outlives the section: take it back before the section goes.
    sectionLayout_->removeWidget(syncRow_);
    if (syncRow_->parentWidget() == section_) {
        syncRow_->setParent(this);
        layout_->insertWidget(topSyncIndex, syncRow_);
    }
    layout_->removeWidget(section_);
    delete section_;
    section_ = nullptr;
    sectionLayout_ = nullptr;
    contrast_ = nullptr;
    volume_ = nullptr;
    extendedDimming_ = nullptr;
    strip_ = nullptr;
}

void DisplayCardView::placeSyncRow() {
    // An external display's expanded section holds the row between its sliders and Extended Dimming;
    // the built-in display keeps it under brightness.
    bool inSection = section_ && !display_.isBuiltIn;
    QWidget* home = inSection ? section_ : this;
    if (syncRow_->parentWidget() != home) {
        layout_->removeWidget(syncRow_);
        if (sectionLayout_)
            sectionLayout_->removeWidget(syncRow_);
        if (inSection)
            sectionLayout_->insertWidget(sectionSyncIndex_, syncRow_);
        else
            layout_->insertWidget(topSyncIndex, syncRow_);
    }
    syncRow_->setVisible(showSyncRow_);
}

void DisplayCardView::toggleSync() {
    if (preferences_.syncLeaderKey() == key_) {
        preferences_.setSyncLeaderKey(std::nullopt);
        return;
    }
    preferences_.setSyncLeaderKey(key_);
    // The others take the new leader's level now, not only at its next change.
    controller_.syncFollowersToLeader();
}

void DisplayCardView::styleSlider(CCSlider& slider) const {
    slider.setRange(0.0, 1.0);
    slider.setTheme(theme_);
    slider.setShowsPercentage(showsPercentage_);
}

} // namespace brivio
