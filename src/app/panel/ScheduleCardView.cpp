#include "app/panel/ScheduleCardView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brivio {

// Placeholder until the page is built.
ScheduleCardView::ScheduleCardView(DisplayController&, BrivioPreferences&, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ScheduleCardView"), this));
}

} // namespace brivio
