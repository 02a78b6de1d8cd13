#include "app/panel/ScheduleCardView.h"

#include "app/panel/CCSlider.h"
#include "app/panel/CardHeader.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/LocationPromptView.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/ScheduleEditorView.h"
#include "app/panel/ScheduleRowView.h"
#include "app/panel/SolarLevelsEditorView.h"
#include "app/panel/SymbolButton.h"
#include "app/panel/ToggleBarRow.h"
#include "core/DisplayController.h"
#include "schedule/SolarCurve.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace brivio {

namespace {

QString percent(double level) {
    return QString::asprintf("%lld%%", static_cast<long long>(std::llround(level * 100.0)));
}

bool isSolar(const PresetSchedule& schedule) {
    return schedule.trigger.kind != ScheduleTriggerKind::clockTime;
}

} // namespace

ScheduleCardView::ScheduleCardView(DisplayController& controller, BrivioPreferences& preferences,
                                   QWidget* parent)
    : QWidget(parent), controller_(controller), preferences_(preferences),
      header_(new CardHeader(QStringLiteral("Schedule"), QStringLiteral("Schedule"),
                             QStringLiteral("New schedule"), this)),
      content_(new QWidget(this)), solarRow_(new ToggleBarRow(QStringLiteral("Follow the sun"), content_)),
      levelsButton_(symbolButton("slider.horizontal.3", QStringLiteral("SolarLevelsButton"),
                                 QStringLiteral("Night and day brightness"), content_)),
      solarStatus_(new QLabel(content_)), resume_(new QPushButton(QStringLiteral("Resume"), content_)),
      levels_(new SolarLevelsEditorView(content_)),
      prompt_(new LocationPromptView(controller.location(), content_)), rowsLayout_(new QVBoxLayout),
      editor_(new ScheduleEditorView(preferences, controller.location(), content_)),
      later_(new LaterRefresh(this, [this] { refresh(); })) {
    setObjectName(QStringLiteral("ScheduleCardView"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    solarRow_->setObjectName(QStringLiteral("SolarRow"));
    solarStatus_->setObjectName(QStringLiteral("SolarStatus"));
    resume_->setObjectName(QStringLiteral("SolarResumeButton"));
    resume_->setAutoDefault(false);
    resume_->setToolTip(QStringLiteral("Follow the sun again now"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(6);
    layout->addWidget(header_);
    layout->addWidget(content_);

    auto* contentLayout = new QVBoxLayout(content_);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(6);
    auto* solarLine = new QHBoxLayout;
    solarLine->setSpacing(2);
    solarLine->addWidget(solarRow_, 1);
    solarLine->addWidget(levelsButton_);
    contentLayout->addLayout(solarLine);
    auto* statusLine = new QHBoxLayout;
    statusLine->setContentsMargins(10, 0, 0, 0);
    statusLine->addWidget(solarStatus_, 1);
    statusLine->addWidget(resume_);
    contentLayout->addLayout(statusLine);
    // Right under the status line that says a location is required.
    contentLayout->addWidget(prompt_);
    contentLayout->addWidget(levels_);
    rowsLayout_->setSpacing(4);
    contentLayout->addLayout(rowsLayout_);
    contentLayout->addWidget(editor_);

    editor_->setFocusAnchor(header_->chevron());
    levels_->setFocusAnchor(levelsButton_);
    connect(header_, &CardHeader::chevronTapped, this,
            [this] { preferences_.setScheduleCardExpanded(!preferences_.scheduleCardExpanded()); });
    connect(header_, &CardHeader::addTapped, this, [this] { editor_->beginAdding(); });
    connect(solarRow_, &ToggleBarRow::tapped, this, [this] { tapSolarRow(); });
    connect(levelsButton_, &QToolButton::clicked, this, [this] {
        if (levels_->isVisible())
            levels_->hide();
        else {
            levels_->open(preferences_.solarNightLevel(), preferences_.solarDayLevel());
            Q_EMIT editorOpened(levels_);
        }
    });
    connect(levels_, &SolarLevelsEditorView::finished, this,
            [this](double night, double day) { finishLevels(night, day); });
    connect(resume_, &QPushButton::clicked, this, [this] { controller_.resumeSolarCurve(); });
    connect(editor_, &ScheduleEditorView::openChanged, this, [this](bool open) {
        later_->request();
        if (open)
            Q_EMIT editorOpened(editor_);
    });
    connect(editor_, &ScheduleEditorView::kindChanged, this, [this] { later_->request(); });

    later_->watch(preferences_.willChange);
    later_->watch(controller_.location().changed());
    refresh();
}

void ScheduleCardView::tapSolarRow() {
    auto& location = controller_.location();
    if (!locationUsable(location)) {
        locationAsked_ = true;
        location.requestAccess();
        later_->request();
        return;
    }
    bool enable = !preferences_.solarCurveEnabled();
    preferences_.setSolarCurveEnabled(enable);
    if (enable)
        applySolarCurveNow();
}

void ScheduleCardView::finishLevels(double night, double day) {
    preferences_.setSolarLevels(night, day);
    if (preferences_.solarCurveEnabled())
        applySolarCurveNow();
}

void ScheduleCardView::applySolarCurveNow() {
    if (auto* engine = controller_.scheduleEngine())
        engine->applySolarCurve(controller_.platform().clock.now());
}

void ScheduleCardView::refresh() {
    bool expanded = preferences_.scheduleCardExpanded();
    header_->setExpanded(expanded);
    content_->setVisible(expanded);
    // The add control is offered only while another schedule can be kept.
    header_->setAddAvailable(expanded && preferences_.scheduleList().size() < maxScheduleCount,
                             !editor_->isOpen(), QString());

    QColor accent = accentColor(preferences_.selectedTheme(), *this);
    bool enabled = preferences_.solarCurveEnabled();
    bool usable = locationUsable(controller_.location());
    bool paused =
        enabled && SolarCurve::isPaused(controller_.platform().clock.now(), preferences_.solarPausedUntil());
    solarRow_->setTint(accent);
    solarRow_->setOn(enabled);
    if (!usable)
        solarStatus_->setText(QStringLiteral("Location required"));
    else if (paused)
        solarStatus_->setText(QStringLiteral("Paused"));
    else
        solarStatus_->setText(
            QStringLiteral("Night %1 · Day %2")
                .arg(percent(preferences_.solarNightLevel()), percent(preferences_.solarDayLevel())));
    resume_->setVisible(paused && usable);
    for (auto* slider : {levels_->nightSlider(), levels_->daySlider()}) {
        slider->setTheme(preferences_.selectedTheme());
        slider->setShowsPercentage(preferences_.showSliderPercentage());
    }

    bool solarSchedules = false;
    for (const auto& s : preferences_.scheduleList())
        solarSchedules = solarSchedules || isSolar(s);
    bool prompting = !usable && (locationAsked_ || enabled || solarSchedules || editor_->wantsLocation());
    bool appeared = prompting && prompt_->isHidden();
    prompt_->setVisible(prompting);
    if (appeared && locationAsked_)
        Q_EMIT editorOpened(prompt_);

    rebuildRows();
}

void ScheduleCardView::rebuildRows() {
    auto presets = preferences_.globalPresets();
    bool usable = locationUsable(controller_.location());
    QColor accent = accentColor(preferences_.selectedTheme(), *this);
    if (preferences_.scheduleList() == shownSchedules_ && presets == shownPresets_ &&
        usable == shownUsable_ && accent == shownAccent_ && rows_.size() == shownSchedules_.size())
        return;
    shownSchedules_ = preferences_.scheduleList();
    shownPresets_ = presets;
    shownUsable_ = usable;
    shownAccent_ = accent;
    for (auto* row : rows_)
        delete row;
    rows_.clear();
    for (const auto& schedule : preferences_.scheduleList()) {
        QString presetName;
        for (const auto& p : presets)
            if (p.id == schedule.presetID)
                presetName = QString::fromStdString(p.name);
        auto* row = new ScheduleRowView(schedule, presetName, isSolar(schedule) && !usable, accent, content_);
        rowsLayout_->addWidget(row);
        row->show();
        rows_.push_back(row);
        Uuid id = schedule.id;
        connect(row, &ScheduleRowView::toggleTapped, this, [this, id] { preferences_.toggleSchedule(id); });
        connect(row, &ScheduleRowView::deleteRequested, this,
                [this, id] { preferences_.deleteSchedule(id); });
        connect(row, &ScheduleRowView::editRequested, this,
                [this, row] { editor_->beginEditing(row->schedule()); });
    }
}

} // namespace brivio
