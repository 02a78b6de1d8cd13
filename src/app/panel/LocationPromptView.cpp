#include "app/panel/LocationPromptView.h"

#include "app/panel/LiteralText.h"
#include "schedule/LocationManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brivio {

bool locationUsable(const LocationManager& location) {
    return location.canUseLocation() || location.coordinate().has_value();
}

LocationPromptView::LocationPromptView(LocationManager& location, QWidget* parent)
    : QWidget(parent), location_(location), allow_(new QPushButton(this)), latitude_(new QLineEdit(this)),
      longitude_(new QLineEdit(this)), use_(new QPushButton(QStringLiteral("Set"), this)),
      hint_(new QLabel(this)) {
    setObjectName(QStringLiteral("LocationPromptView"));
    setLiteralText(*allow_, QStringLiteral("Allow location access for sunrise & sunset"));
    allow_->setObjectName(QStringLiteral("LocationAllowButton"));
    allow_->setAutoDefault(false);
    latitude_->setObjectName(QStringLiteral("LocationLatitudeField"));
    latitude_->setPlaceholderText(QStringLiteral("Latitude"));
    longitude_->setObjectName(QStringLiteral("LocationLongitudeField"));
    longitude_->setPlaceholderText(QStringLiteral("Longitude"));
    use_->setObjectName(QStringLiteral("LocationSetButton"));
    use_->setAutoDefault(false);
    hint_->setObjectName(QStringLiteral("LocationHint"));
    hint_->setWordWrap(true);
    hint_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(4);
    layout->addWidget(allow_);
    auto* typed = new QHBoxLayout;
    typed->addWidget(latitude_);
    typed->addWidget(longitude_);
    typed->addWidget(use_);
    layout->addLayout(typed);
    layout->addWidget(hint_);

    connect(allow_, &QPushButton::clicked, this, [this] { location_.requestAccess(); });
    connect(use_, &QPushButton::clicked, this, [this] { useTypedPosition(); });
}

bool LocationPromptView::useTypedPosition() {
    bool latOk = false;
    bool lonOk = false;
    double lat = latitude_->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&latOk);
    double lon = longitude_->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&lonOk);
    // (0, 0) reads back as "no position" at the next launch, so it is not offered as one.
    bool ok = latOk && lonOk && (lat != 0 || lon != 0) && location_.setManualPosition(lat, lon);
    hint_->setText(QStringLiteral("Enter a latitude from -90 to 90 and a longitude from -180 to 180."));
    hint_->setVisible(!ok);
    return ok;
}

} // namespace brivio
