#include "app/panel/ScheduleEditorView.h"

#include "app/panel/FocusHandOff.h"
#include "app/panel/PageWheel.h"
#include "app/panel/PanelTheme.h"
#include "platform/LocationService.h"
#include "schedule/LocationManager.h"
#include "settings/BrivioPreferences.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <initializer_list>

namespace brivio {

namespace {

constexpr int maxOffsetMinutes = 720;
constexpr std::array<const char*, 7> dayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

QToolButton* checkable(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(objectName);
    button->setCheckable(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

ScheduleEditorView::ScheduleEditorView(BrivioPreferences& preferences, LocationManager& location,
                                       QWidget* parent)
    : QWidget(parent), preferences_(preferences), location_(location), title_(new QLabel(this)),
      preset_(new QComboBox(this)), kindGroup_(new QButtonGroup(this)), time_(new QTimeEdit(this)),
      offset_(new QSpinBox(this)), cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      save_(new QPushButton(QStringLiteral("Save"), this)) {
    setObjectName(QStringLiteral("ScheduleEditorView"));
    QFont titleFont = title_->font();
    titleFont.setWeight(QFont::DemiBold);
    title_->setFont(titleFont);
    preset_->setObjectName(QStringLiteral("SchedulePresetChoice"));
    time_->setObjectName(QStringLiteral("ScheduleTimeField"));
    time_->setDisplayFormat(QStringLiteral("HH:mm"));
    offset_->setObjectName(QStringLiteral("ScheduleOffsetField"));
    offset_->setRange(-maxOffsetMinutes, maxOffsetMinutes);
    offset_->setSuffix(QStringLiteral(" min"));
    offset_->setToolTip(QStringLiteral("Minutes after (or, below zero, before) the sun's event"));
    for (QWidget* field : std::initializer_list<QWidget*>{preset_, time_, offset_})
        letWheelScrollPage(*field);
    cancel_->setObjectName(QStringLiteral("ScheduleCancelButton"));
    cancel_->setAutoDefault(false);
    save_->setObjectName(QStringLiteral("ScheduleSaveButton"));
    save_->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(title_);
    layout->addWidget(preset_);

    auto* kindRow = new QHBoxLayout;
    kindRow->setSpacing(2);
    for (TriggerKind k : {TriggerKind::clock, TriggerKind::sunrise, TriggerKind::sunset}) {
        QString raw = QString::fromUtf8(rawValue(k).data(), static_cast<int>(rawValue(k).size()));
        auto* button = checkable(raw, QStringLiteral("ScheduleKind") + raw, this);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        kinds_[static_cast<std::size_t>(k)] = button;
        kindGroup_->addButton(button, static_cast<int>(k));
        kindRow->addWidget(button);
    }
    kindGroup_->setExclusive(true);
    kindRow->addStretch(1);
    kindRow->addWidget(time_);
    kindRow->addWidget(offset_);
    layout->addLayout(kindRow);

    auto* dayRow = new QHBoxLayout;
    dayRow->setSpacing(4);
    for (int day = 0; day < 7; ++day) {
        auto* button = checkable(QString::fromUtf8(dayLetter(day).data(), 1),
                                 QStringLiteral("ScheduleDay%1").arg(day), this);
        button->setToolTip(QString::fromLatin1(dayNames[static_cast<std::size_t>(day)]));
        button->setFixedSize(26, 26);
        days_[static_cast<std::size_t>(day)] = button;
        dayRow->addWidget(button);
        connect(button, &QToolButton::toggled, this, [this] { updateFields(); });
    }
    dayRow->addStretch(1);
    layout->addLayout(dayRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    layout->addLayout(buttons);

    connect(kindGroup_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (!checked)
            return;
        updateFields();
        Q_EMIT kindChanged();
    });
    connect(preset_, &QComboBox::currentIndexChanged, this, [this] { updateFields(); });
    connect(save_, &QPushButton::clicked, this, [this] { save(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    hide();
}

void ScheduleEditorView::beginAdding() {
    editing_.reset();
    title_->setText(QStringLiteral("New Schedule"));
    open(ScheduleDraft{}, 0);
}

void ScheduleEditorView::beginEditing(const PresetSchedule& schedule) {
    editing_ = schedule;
    title_->setText(QStringLiteral("Edit Schedule"));
    open(draftFrom(schedule), schedule.trigger.offsetMinutes);
}

void ScheduleEditorView::open(const ScheduleDraft& draft, int offsetMinutes) {
    preset_->blockSignals(true);
    preset_->clear();
    preset_->addItem(QStringLiteral("Choose a preset"));
    for (const auto& p : preferences_.globalPresets()) {
        preset_->addItem(QString::fromStdString(p.name), QString::fromStdString(p.id.toString()));
        if (draft.presetID && *draft.presetID == p.id)
            preset_->setCurrentIndex(preset_->count() - 1);
    }
    preset_->blockSignals(false);
    kinds_[static_cast<std::size_t>(draft.kind)]->setChecked(true);
    time_->setTime(QTime(draft.hour, draft.minute));
    offset_->setValue(offsetMinutes);
    for (int day = 0; day < 7; ++day)
        days_[static_cast<std::size_t>(day)]->setChecked(draft.days.contains(day));
    isOpen_ = true;
    styleDays();
    updateFields();
    show();
    Q_EMIT openChanged(true);
    Q_EMIT kindChanged();
}

void ScheduleEditorView::styleDays() {
    // Chosen days in the theme's accent, dark enough to stand out from the page, with readable letters.
    QColor page = palette().color(QPalette::Window);
    QColor fill = legibleOn(accentColor(preferences_.selectedTheme(), *this), page, 3.0);
    QColor ring = legibleOn(palette().color(QPalette::Mid), page, 3.0);
    QString style = QStringLiteral("QToolButton { border-radius: 13px; border: 1px solid %1; }"
                                   "QToolButton:checked { background: %2; border-color: %2; color: %3; }"
                                   "QToolButton:focus { border: 2px solid palette(highlight); }")
                        .arg(ring.name(), fill.name(), textOn(fill).name());
    for (QToolButton* day : days_)
        day->setStyleSheet(style);
}

TriggerKind ScheduleEditorView::kind() const {
    int id = kindGroup_->checkedId();
    return id < 0 ? TriggerKind::clock : static_cast<TriggerKind>(id);
}

bool ScheduleEditorView::wantsLocation() const {
    return isOpen_ && kind() != TriggerKind::clock;
}

ScheduleDraft ScheduleEditorView::draft() const {
    ScheduleDraft d;
    if (auto id = Uuid::parse(preset_->currentData().toString().toStdString()))
        d.presetID = *id;
    d.kind = kind();
    QTime t = time_->time();
    d.hour = t.isValid() ? t.hour() : 8;
    d.minute = t.isValid() ? t.minute() : 0;
    d.days.clear();
    for (int day = 0; day < 7; ++day)
        if (days_[static_cast<std::size_t>(day)]->isChecked())
            d.days.insert(day);
    return d;
}

void ScheduleEditorView::updateFields() {
    bool clock = kind() == TriggerKind::clock;
    time_->setVisible(clock);
    offset_->setVisible(!clock);
    ScheduleDraft d = draft();
    // A schedule with no day would never fire, and a sixth one would not be kept.
    bool full = !editing_ && preferences_.scheduleList().size() >= maxScheduleCount;
    save_->setEnabled(d.presetID.has_value() && !d.days.empty() && !full);
}

void ScheduleEditorView::save() {
    if (!save_->isEnabled())
        return;
    auto schedule = saveDraft(draft(), editing_);
    if (!schedule)
        return;
    bool solar = schedule->trigger.kind != ScheduleTriggerKind::clockTime;
    // The editor offers an offset, so an edited solar schedule keeps the one it had unless changed.
    if (solar)
        schedule->trigger.offsetMinutes = offset_->value();
    preferences_.upsertSchedule(*schedule);
    if (solar) {
        int status = location_.authorizationStatus();
        // Where access was refused the schedule is still kept; only the row says location is missing.
        if (status != LocationAuthorization::denied && status != LocationAuthorization::restricted)
            location_.requestAccess();
    }
    close();
}

void ScheduleEditorView::cancel() {
    if (isOpen_)
        close();
}

void ScheduleEditorView::close() {
    isOpen_ = false;
    editing_.reset();
    hideHandingFocusTo(*this, focusAnchor_);
    Q_EMIT openChanged(false);
    Q_EMIT kindChanged();
}

} // namespace brivio
