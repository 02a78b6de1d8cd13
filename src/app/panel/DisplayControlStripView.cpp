#include "app/panel/DisplayControlStripView.h"

#include "app/panel/InlinePrompt.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/PillButton.h"
#include "core/DisplayController.h"
#include "drivers/InputSource.h"
#include "modes/ModePills.h"

#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace brivio {

namespace {

constexpr int pillSpacing = 6;

const QString inputUnsupported =
    QStringLiteral("Input source switching not supported by this monitor or connection");
const QString powerUnsupported = QStringLiteral("Power off not supported by this monitor or connection");
const QString powerOffDetail = QStringLiteral(
    "The display will be powered off and must be turned back on manually using its power button.");

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

// The mode state outlives the view while a countdown runs, so an unconfirmed mode is still undone.
struct DisplayControlStripView::Core {
    DisplayModeManager manager;
    DisplayControlStrip strip;

    Core(Platform& platform, const ManagedDisplay& display)
        : manager(platform.windowServer, platform.registry, platform.rotation),
          strip(platform.loop, manager, display) {}

    bool countingDown() const {
        return strip.countingDown(PendingKind::mode) || strip.countingDown(PendingKind::rotation);
    }

    static Task<void> keepUntilSettled(std::shared_ptr<Core> core) {
        while (core->countingDown())
            co_await sleep(1s);
    }
};

DisplayControlStripView::DisplayControlStripView(DisplayController& controller, const ManagedDisplay& display,
                                                 QWidget* parent)
    : QWidget(parent), controller_(controller),
      core_(std::make_shared<Core>(controller.platform(), display)) {
    setObjectName(QStringLiteral("displayControlStrip"));
    if (display.isBuiltIn)
        buildBuiltIn();
    else
        buildExternal();
    if (!showsControls_) {
        hide();
        return;
    }
    stripChanged_ = core_->strip.changed().subscribe([this](PendingKind) { refresh(); });
    themeRefresh_ = new LaterRefresh(this, [this] { refresh(); });
    themeRefresh_->watch(controller_.preferences().willChange);
    refresh();
    if (display.capabilities.supportsInputSwitch)
        spawn(controller_.platform().loop, readInputSource(weak.weak()), weak.token());
}

DisplayControlStripView::~DisplayControlStripView() {
    stripChanged_.reset();
    if (core_->countingDown())
        spawn(controller_.platform().loop, Core::keepUntilSettled(core_));
}

DisplayControlStrip& DisplayControlStripView::strip() {
    return core_->strip;
}

void DisplayControlStripView::buildBuiltIn() {
    // The machine's own panel offers modes only; with none listed the strip shows nothing.
    if (core_->strip.state().modes.empty()) {
        showsControls_ = false;
        return;
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(pillSpacing);
    auto* row = new QHBoxLayout;
    row->setSpacing(pillSpacing);
    resolution_ = new PillButton("rectangle.inset.filled", QStringLiteral("Resolution"), this);
    refreshRate_ = new PillButton("gauge", QStringLiteral("Hz"), this);
    row->addWidget(resolution_);
    row->addWidget(refreshRate_);
    column->addLayout(row);
    addBanners();
}

void DisplayControlStripView::buildExternal() {
    auto& display = core_->strip.display();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(pillSpacing);
    auto* grid = new QGridLayout;
    grid->setSpacing(pillSpacing);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    resolution_ = new PillButton("rectangle.inset.filled", QStringLiteral("Resolution"), this);
    input_ = new PillButton("cable.connector", QStringLiteral("Input Source"), this);
    refreshRate_ = new PillButton("gauge", QStringLiteral("Hz"), this);
    rotation_ = new PillButton("arrow.clockwise", QString(), this);
    scale_ = new PillButton("display", QString(), this);
    scalePlaceholder_ = new QWidget(this);
    power_ = new PillButton("power", QStringLiteral("Power Off"), this);
    grid->addWidget(resolution_, 0, 0);
    grid->addWidget(input_, 0, 1);
    grid->addWidget(refreshRate_, 1, 0);
    grid->addWidget(rotation_, 1, 1);
    grid->addWidget(scale_, 2, 0);
    grid->addWidget(scalePlaceholder_, 2, 0);
    grid->addWidget(power_, 2, 1);
    column->addLayout(grid);

    // Where the desktop offers no display configuration, the pills say why instead of doing nothing.
    if (const auto& why = core_->strip.state().modesUnavailable) {
        QString tip = QStringLiteral("Modes and rotation are unavailable here: %1.").arg(qs(*why));
        for (PillButton* pill : {resolution_, refreshRate_, rotation_}) {
            pill->setEnabled(false);
            pill->setFaded(true);
            pill->setToolTip(tip);
        }
    }

    bool hasBoth = core_->strip.hasBothScaleKinds();
    scale_->setVisible(hasBoth);
    scalePlaceholder_->setVisible(!hasBoth);
    connect(scale_, &QAbstractButton::clicked, this, [this] { core_->strip.toggleHiDPI(); });

    rotation_->setObjectName(QStringLiteral("rotationPill"));
    rotation_->setRows(
        [this] {
            return rotationRows(core_->strip.state().currentRotation,
                                [this](int angle) { core_->strip.applyRotation(angle); });
        },
        DropdownMinimumWidth::rotation);

    input_->setObjectName(QStringLiteral("inputSourcePill"));
    bool canSwitch = display.capabilities.supportsInputSwitch;
    input_->setEnabled(canSwitch);
    input_->setFaded(!canSwitch);
    input_->setToolTip(canSwitch ? QString() : inputUnsupported);
    input_->setRows([this] { return inputDropdown(); }, DropdownMinimumWidth::inputSource);

    power_->setObjectName(QStringLiteral("powerOffButton"));
    bool canPowerOff = display.capabilities.supportsPowerOff;
    power_->setEnabled(canPowerOff);
    // Grows a little under the pointer, only where the monitor can be switched off.
    power_->setHoverGrowth(1.02);
    power_->setToolTip(canPowerOff ? QString() : powerUnsupported);
    connect(power_, &QAbstractButton::clicked, this, [this] { askPowerOff(); });

    powerConfirm_ = new InlinePrompt(QStringLiteral("Cancel"), QStringLiteral("Power Off"), this);
    powerConfirm_->setObjectName(QStringLiteral("powerOffConfirmation"));
    powerConfirm_->setMessage(QStringLiteral("Power off %1?").arg(qs(display.identity.modelName)));
    powerConfirm_->setDetail(powerOffDetail);
    powerConfirm_->setPrimaryColor(QColor(220, 70, 60));
    powerConfirm_->hide();
    connect(powerConfirm_->secondaryButton(), &QPushButton::clicked, powerConfirm_, &QWidget::hide);
    connect(powerConfirm_->primaryButton(), &QPushButton::clicked, this, [this] {
        powerConfirm_->hide();
        spawn(controller_.platform().loop, sendPowerOff(weak.weak()), weak.token());
    });
    column->addWidget(powerConfirm_);
    addBanners();
}

void DisplayControlStripView::addBanners() {
    resolution_->setObjectName(QStringLiteral("resolutionPill"));
    resolution_->setRows([this] { return resolutionDropdown(); }, DropdownMinimumWidth::resolution);
    resolution_->setWidthRows([this] {
        auto& st = core_->strip.state();
        return resolutionRows(st.modes, st.currentMode, nullptr);
    });
    refreshRate_->setObjectName(QStringLiteral("refreshRatePill"));
    refreshRate_->setRows(
        [this] {
            auto& st = core_->strip.state();
            return refreshRateRows(core_->strip.refreshOptions(), st.currentMode,
                                   [this](const DisplayResolutionMode& m) { core_->strip.applyMode(m); });
        },
        DropdownMinimumWidth::refreshRate);
    if (scale_)
        scale_->setObjectName(QStringLiteral("scaleButton"));

    auto* column = static_cast<QVBoxLayout*>(layout());
    modeBanner_ = new InlinePrompt(QStringLiteral("Revert"), QStringLiteral("Keep"), this);
    modeBanner_->setObjectName(QStringLiteral("modeBanner"));
    connect(modeBanner_->secondaryButton(), &QPushButton::clicked, this, [this] {
        if (auto previous = core_->strip.state().previousMode)
            core_->strip.revertMode(*previous);
    });
    connect(modeBanner_->primaryButton(), &QPushButton::clicked, this, [this] { core_->strip.keepMode(); });
    rotationBanner_ = new InlinePrompt(QStringLiteral("Revert"), QStringLiteral("Keep"), this);
    rotationBanner_->setObjectName(QStringLiteral("rotationBanner"));
    connect(rotationBanner_->secondaryButton(), &QPushButton::clicked, this, [this] {
        if (auto previous = core_->strip.state().previousRotation)
            core_->strip.revertRotation(*previous);
    });
    connect(rotationBanner_->primaryButton(), &QPushButton::clicked, this,
            [this] { core_->strip.keepRotation(); });
    column->addWidget(modeBanner_);
    column->addWidget(rotationBanner_);
}

void DisplayControlStripView::refresh() {
    auto& strip = core_->strip;
    auto& st = strip.state();
    auto options = strip.refreshOptions();
    auto pill = refreshRatePill(options, st.currentMode);
    refreshRate_->setText(qs(pill.text));
    if (!st.modesUnavailable) {
        refreshRate_->setEnabled(pill.enabled);
        refreshRate_->setFaded(pill.opacity < 1.0);
        refreshRate_->setToolTip(pill.helpText ? qs(*pill.helpText) : QString());
    }
    if (strip.display().isBuiltIn)
        refreshRate_->setVisible(options.size() > 1);
    if (rotation_)
        rotation_->setText(qs(rotationText(st.currentRotation)));
    if (scale_)
        scale_->setText(qs(scaleButtonText(st.currentMode)));
    if (input_)
        input_->setSymbol(inputSourceSymbol(shownInput_));

    QColor accent = accentColor(controller_.preferences().selectedTheme(), *this);
    auto show = [&](InlinePrompt* banner, const std::optional<std::string>& text) {
        banner->setVisible(text.has_value());
        if (text)
            banner->setMessage(qs(*text));
        banner->setPrimaryColor(accent);
    };
    show(modeBanner_, strip.modeBanner());
    show(rotationBanner_, strip.rotationBanner());
}

std::vector<DropdownItem> DisplayControlStripView::resolutionDropdown() {
    auto& st = core_->strip.state();
    auto choose = [this](const DisplayResolutionMode& m) { core_->strip.applyMode(m); };
    auto rows = resolutionRows(showAllModes_ ? st.modes : st.preferredModes, st.currentMode, choose);
    if (!rows.empty())
        rows.push_back({{}, std::nullopt, false, true, nullptr});
    DropdownItem footer;
    footer.title = showAllModes_ ? "Show fewer" : "Show all";
    footer.icon = showAllModes_ ? "chevron.up" : "chevron.down";
    footer.action = [this] {
        showAllModes_ = !showAllModes_;
        resolution_->openDropdown();
    };
    rows.push_back(std::move(footer));
    return rows;
}

std::vector<DropdownItem> DisplayControlStripView::inputDropdown() {
    std::vector<DropdownItem> rows;
    for (const auto& source : ddcInputSources()) {
        std::uint8_t value = source.value;
        rows.push_back(
            {source.name, source.symbol, shownInput_ == value, false, [this, value] { chooseInput(value); }});
    }
    return rows;
}

void DisplayControlStripView::chooseInput(std::uint8_t value) {
    // The choice stays shown even if the monitor refuses: it cannot tell us otherwise.
    inputChosen_ = true;
    shownInput_ = value;
    refresh();
    controller_.setInputSource(value, core_->strip.display().identity.cgID);
}

void DisplayControlStripView::askPowerOff() {
    if (core_->strip.display().capabilities.supportsPowerOff)
        powerConfirm_->show();
}

Task<void> DisplayControlStripView::readInputSource(WeakPtr<DisplayControlStripView> self) {
    auto* start = self.get();
    if (!start)
        co_return;
    auto value = co_await start->controller_.inputSource(start->core_->strip.display().identity.cgID);
    // A late answer must not overwrite what the user picked meanwhile.
    if (auto* view = self.get(); view && !view->inputChosen_) {
        view->shownInput_ = value;
        view->refresh();
    }
}

Task<void> DisplayControlStripView::sendPowerOff(WeakPtr<DisplayControlStripView> self) {
    auto* view = self.get();
    if (!view)
        co_return;
    DDCDisplayDriver::PowerOffConfirmed confirmed;
    co_await view->controller_.powerOff(view->core_->strip.display().identity.cgID, confirmed);
}

} // namespace brivio
