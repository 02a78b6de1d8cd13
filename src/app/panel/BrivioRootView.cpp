#include "app/panel/BrivioRootView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brivio {

// Placeholder until the page is built.
BrivioRootView::BrivioRootView(DisplayController&, BrivioPreferences&, AppRouter&, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("BrivioRootView"), this));
}

} // namespace brivio
