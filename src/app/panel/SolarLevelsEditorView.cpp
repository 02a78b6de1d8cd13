#include "app/panel/SolarLevelsEditorView.h"

#include "app/panel/CCSlider.h"
#include "app/panel/FocusHandOff.h"
#include "app/panel/PanelTheme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace brivio {

SolarLevelsEditorView::SolarLevelsEditorView(QWidget* parent)
    : QWidget(parent), nightSlider_(new CCSlider("moon.fill", QColor(), this)),
      daySlider_(new CCSlider("sun.max.fill", sunColor(), this)),
      done_(new QPushButton(QStringLiteral("Done"), this)) {
    setObjectName(QStringLiteral("SolarLevelsEditorView"));
    nightSlider_->setObjectName(QStringLiteral("SolarNightSlider"));
    daySlider_->setObjectName(QStringLiteral("SolarDaySlider"));
    done_->setObjectName(QStringLiteral("SolarLevelsDoneButton"));
    done_->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("Night · Day brightness"), this));
    layout->addWidget(nightSlider_);
    layout->addWidget(daySlider_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(done_);
    layout->addLayout(buttons);

    for (auto* slider : {nightSlider_, daySlider_}) {
        bool isNight = slider == nightSlider_;
        auto set = [this, isNight](double v) { (isNight ? night_ : day_) = v; };
        connect(slider, &CCSlider::dragged, this, set);
        connect(slider, &CCSlider::jumpedTo, this, set);
    }
    connect(done_, &QPushButton::clicked, this, [this] {
        hideHandingFocusTo(*this, focusAnchor_);
        Q_EMIT finished(night_, day_);
    });
    hide();
}

void SolarLevelsEditorView::open(double night, double day) {
    night_ = night;
    day_ = day;
    nightSlider_->setValue(night);
    daySlider_->setValue(day);
    show();
}

} // namespace brivio
