#include "app/panel/BrivioSettingsView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brivio {

// Placeholder until the page is built.
BrivioSettingsView::BrivioSettingsView(DisplayController&, BrivioPreferences&, AppRouter&, LoginItem*,
                                       UpdateBridge*, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("BrivioSettingsView"), this));
}

} // namespace brivio
