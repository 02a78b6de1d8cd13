#include "app/panel/ScheduleRowView.h"

#include "app/panel/SymbolButton.h"
#include "app/panel/ToggleBarRow.h"

#include <QHBoxLayout>
#include <QStringList>
#include <QToolButton>

namespace brivio {

namespace {

QString rowText(const PresetSchedule& schedule, const QString& presetName, bool locationMissing) {
    QStringList details;
    if (auto summary = schedule.daysSummary(); !summary.empty())
        details << QString::fromStdString(summary);
    // A schedule whose preset is gone never fires; say so rather than look armed.
    details << (presetName.isEmpty() ? QStringLiteral("Preset deleted") : presetName.toHtmlEscaped());
    if (locationMissing)
        details << QStringLiteral("Location required");
    return QStringLiteral("<b>%1</b><br><small>%2</small>")
        .arg(QString::fromStdString(schedule.trigger.label()).toHtmlEscaped(),
             details.join(QStringLiteral(" · ")));
}

} // namespace

ScheduleRowView::ScheduleRowView(const PresetSchedule& schedule, const QString& presetName,
                                 bool locationMissing, QColor tint, QWidget* parent)
    : QWidget(parent), schedule_(schedule),
      toggle_(new ToggleBarRow(rowText(schedule, presetName, locationMissing), this)),
      edit_(symbolButton("pencil", QStringLiteral("ScheduleEditButton"), QStringLiteral("Edit schedule"),
                         this)),
      delete_(symbolButton("xmark", QStringLiteral("ScheduleDeleteButton"), QStringLiteral("Delete schedule"),
                           this)) {
    setObjectName(QStringLiteral("ScheduleRow"));
    toggle_->setObjectName(QStringLiteral("ScheduleToggle"));
    toggle_->setTint(tint);
    toggle_->setOn(schedule.isEnabled);
    // The row's fixed minimum is for one line; this label has two.
    toggle_->setMinimumHeight(toggle_->sizeHint().height());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(toggle_, 1);
    layout->addWidget(edit_);
    layout->addWidget(delete_);
    connect(toggle_, &ToggleBarRow::tapped, this, &ScheduleRowView::toggleTapped);
    connect(edit_, &QToolButton::clicked, this, &ScheduleRowView::editRequested);
    connect(delete_, &QToolButton::clicked, this, &ScheduleRowView::deleteRequested);
}

QString ScheduleRowView::labelText() const {
    return toggle_->label();
}

} // namespace brivio
