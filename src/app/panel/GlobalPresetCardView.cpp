#include "app/panel/GlobalPresetCardView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brivio {

// Placeholder until the page is built.
GlobalPresetCardView::GlobalPresetCardView(DisplayController&, BrivioPreferences&, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("GlobalPresetCardView"), this));
}

} // namespace brivio
