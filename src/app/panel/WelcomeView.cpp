#include "app/panel/WelcomeView.h"

#include "app/panel/AppRouter.h"
#include "app/panel/Motion.h"

#include <QGraphicsOpacityEffect>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

// The logo is compiled into the panel library, which is static: its resources start on first use.
static void initPanelResources() {
    Q_INIT_RESOURCE(panel);
}

namespace brivio {

namespace {
constexpr int topMargin = 28;
constexpr int bottomMargin = 24;
} // namespace

WelcomeView::WelcomeView(AppRouter& router, QWidget* parent)
    : QWidget(parent), getStarted_(new QPushButton(QStringLiteral("Get started"), this)),
      layout_(new QVBoxLayout(this)) {
    initPanelResources();
    setObjectName(QStringLiteral("WelcomeView"));
    auto* layout = layout_;
    layout->setContentsMargins(24, topMargin, 24, bottomMargin);
    layout->setSpacing(10);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("WelcomeLogoView"));
    QIcon icon =
        QIcon::fromTheme(QStringLiteral("dev.brivio.Brivio"), QIcon(QStringLiteral(":/brivio/brivio.svg")));
    logo->setPixmap(icon.pixmap(132, 132));
    logo->setFixedSize(132, 132);
    layout->addWidget(logo, 0, Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("Brivio"), this);
    QFont nameFont = name->font();
    nameFont.setPixelSize(24);
    nameFont.setWeight(QFont::Bold);
    name->setFont(nameFont);
    layout->addWidget(name, 0, Qt::AlignHCenter);

    auto* tagline = new QLabel(QStringLiteral("Every display, one place."), this);
    layout->addWidget(tagline, 0, Qt::AlignHCenter);

    auto* line =
        new QLabel(QStringLiteral("Control brightness, contrast and more across all your displays."), this);
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignHCenter);
    layout->addWidget(line);

    getStarted_->setMinimumWidth(110);
    getStarted_->setDefault(true);
    layout->addSpacing(8);
    layout->addWidget(getStarted_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    connect(getStarted_, &QPushButton::clicked, this, [&router] { router.continueFromWelcome(); });
    setMinimumWidth(340);
}

void WelcomeView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!reducedMotion())
        playEntrance();
}

void WelcomeView::playEntrance() {
    // Fades in while rising a little; the margins trade places so the page keeps its height.
    if (entrance_)
        return;
    auto* effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(0.0);
    setGraphicsEffect(effect);
    auto* animation = new QVariantAnimation(this);
    animation->setDuration(entranceMs);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::InOutCubic);
    connect(animation, &QVariantAnimation::valueChanged, this, [this, effect](const QVariant& v) {
        double t = v.toDouble();
        effect->setOpacity(t);
        int rise = qRound(entranceRise * (1.0 - t));
        layout_->setContentsMargins(24, topMargin + rise, 24, bottomMargin - rise);
    });
    connect(animation, &QVariantAnimation::finished, this, [this] {
        setGraphicsEffect(nullptr);
        layout_->setContentsMargins(24, topMargin, 24, bottomMargin);
    });
    entrance_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace brivio
