#include "app/panel/WelcomeView.h"

#include "app/panel/AppRouter.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The logo is compiled into the panel library, which is static: its resources start on first use.
static void initPanelResources() {
    Q_INIT_RESOURCE(panel);
}

namespace brivio {

WelcomeView::WelcomeView(AppRouter& router, QWidget* parent)
    : QWidget(parent), getStarted_(new QPushButton(QStringLiteral("Get started"), this)) {
    initPanelResources();
    setObjectName(QStringLiteral("WelcomeView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 28, 24, 24);
    layout->setSpacing(10);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("WelcomeLogoView"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("dev.brivio.Brivio"), QIcon(QStringLiteral(":/brivio/brivio.svg")));
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

} // namespace brivio
