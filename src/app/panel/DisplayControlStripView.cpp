#include "app/panel/DisplayControlStripView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brivio {

// Placeholder until the strip is built.
DisplayControlStripView::DisplayControlStripView(DisplayController&, const ManagedDisplay&, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("DisplayControlStripView"), this));
}

} // namespace brivio
