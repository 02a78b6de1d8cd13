#include "app/panel/BrivioSettingsView.h"

#include "app/CompatibilityReport.h"
#include "app/panel/AppRouter.h"
#include "app/panel/BrightnessStepChoice.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/LoginItem.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/ShortcutRecorderButton.h"
#include "app/panel/ThemeDot.h"
#include "app/panel/ToggleBarRow.h"
#include "app/panel/UpdateBridge.h"
#include "core/DisplayController.h"
#include "settings/BrivioPreferences.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpacerItem>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#ifndef BRIVIO_SUPPORT_ADDRESS
#define BRIVIO_SUPPORT_ADDRESS "support@brivio.invalid"
#endif
#ifndef BRIVIO_BUILD
#define BRIVIO_BUILD ""
#endif

namespace brivio {

namespace {

QWidget* labelledRow(QWidget* parent, const QString& label, QWidget* control) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 0, 0, 0);
    layout->addWidget(new QLabel(label, row), 1);
    control->setParent(row);
    layout->addWidget(control);
    return row;
}

QLabel* noteLabel(QWidget* parent, const QString& text, const char* name) {
    auto* note = new QLabel(text, parent);
    note->setObjectName(QLatin1String(name));
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    QFont font = note->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    note->setFont(font);
    return note;
}

bool openMailURL(const std::optional<std::string>& address) {
    if (!address)
        return false;
    QUrl url(QString::fromStdString(*address), QUrl::StrictMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace

BrivioSettingsView::BrivioSettingsView(DisplayController& controller, BrivioPreferences& preferences,
                                       AppRouter& router, LoginItem* loginItem, UpdateBridge* updates,
                                       QWidget* parent)
    : QWidget(parent), controller_(controller), preferences_(preferences), loginItem_(loginItem),
      updates_(updates) {
    setObjectName(QStringLiteral("BrivioSettingsView"));
    setMinimumWidth(340);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(4);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(8, 0, 14, 0);
    auto* back = new QToolButton(this);
    back->setObjectName(QStringLiteral("SettingsBackButton"));
    back->setIcon(symbolIcon("chevron.left"));
    back->setAutoRaise(true);
    back->setToolTip(QStringLiteral("Back"));
    connect(back, &QToolButton::clicked, this, [&router] { router.backFromSettings(); });
    auto* title = new QLabel(QStringLiteral("Settings"), this);
    title->setObjectName(QStringLiteral("SettingsTitle"));
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    title->setFont(titleFont);
    header->addWidget(back);
    header->addWidget(title, 1);
    layout->addLayout(header);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("SettingsScrollArea"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(buildContent());
    layout->addWidget(scroll_, 1);

    auto* refresher = new LaterRefresh(this, [this] { refresh(); });
    refresher->watch(preferences_.willChange);
    refresh();
}

QLabel* BrivioSettingsView::addSectionTitle(QWidget* content, const QString& title) {
    auto* label = new QLabel(title, content);
    label->setObjectName(QStringLiteral("SettingsSectionTitle"));
    label->setForegroundRole(QPalette::PlaceholderText);
    styleSectionTitle(*label);
    if (content->layout()->count() > 0)
        content->layout()->addItem(new QSpacerItem(0, 6));
    content->layout()->addWidget(label);
    return label;
}

QWidget* BrivioSettingsView::buildContent() {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(14, 4, 14, 12);
    layout->setSpacing(6);

    addSectionTitle(content, QStringLiteral("General"));
    launchAtLogin_ = new ToggleBarRow(QStringLiteral("Launch at Login"), content);
    launchAtLogin_->setObjectName(QStringLiteral("LaunchAtLoginRow"));
    launchAtLogin_->setEnabled(loginItem_ != nullptr);
    connect(launchAtLogin_, &ToggleBarRow::tapped, this, [this] {
        bool on = !launchAtLogin_->isOn();
        launchAtLogin_->setOn(on);
        // A refusal is not shown: the switch keeps the user's position until the page is shown again.
        if (loginItem_)
            loginItem_->setEnabled(on);
    });
    layout->addWidget(launchAtLogin_);
    showPercentage_ = new ToggleBarRow(QStringLiteral("Show percentage on sliders"), content);
    showPercentage_->setObjectName(QStringLiteral("ShowPercentageRow"));
    connect(showPercentage_, &ToggleBarRow::tapped, this,
            [this] { preferences_.setShowSliderPercentage(!preferences_.showSliderPercentage()); });
    layout->addWidget(showPercentage_);

    addSectionTitle(content, QStringLiteral("Shortcuts"));
    auto* up = new ShortcutRecorderButton(preferences_, ShortcutAction::brightnessUp);
    up->setObjectName(QStringLiteral("IncreaseBrightnessRecorder"));
    layout->addWidget(labelledRow(content, QStringLiteral("Increase Brightness"), up));
    auto* down = new ShortcutRecorderButton(preferences_, ShortcutAction::brightnessDown);
    down->setObjectName(QStringLiteral("DecreaseBrightnessRecorder"));
    layout->addWidget(labelledRow(content, QStringLiteral("Decrease Brightness"), down));

    auto* picker = new QWidget;
    picker->setObjectName(QStringLiteral("StepPicker"));
    auto* pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(0);
    auto* group = new QButtonGroup(picker);
    for (const BrightnessStepChoice& choice : brightnessStepChoices) {
        auto* button = new QPushButton(QString::fromLatin1(choice.label), picker);
        button->setObjectName(QStringLiteral("Step") + QString::fromLatin1(choice.label));
        button->setCheckable(true);
        group->addButton(button);
        pickerLayout->addWidget(button);
        stepButtons_.push_back(button);
        double value = choice.value;
        connect(button, &QPushButton::clicked, this,
                [this, value] { preferences_.setBrightnessStep(value); });
    }
    layout->addWidget(labelledRow(content, QStringLiteral("Step"), picker));
    if (!controller_.platform().hotKeys) {
        // Wayland lets no application take keys for itself; the desktop's own bindings can run the
        // command line, which hands the step to this app.
        layout->addWidget(
            noteLabel(content,
                      QStringLiteral("This desktop does not let apps take global shortcuts. In "
                                     "your keyboard settings, bind \u201Cbrivioctl step up\u201D "
                                     "and \u201Cbrivioctl step down\u201D to the keys you want."),
                      "ShortcutsNote"));
    }

    addSectionTitle(content, QStringLiteral("Theme"));
    auto* dots = new QHBoxLayout;
    dots->setContentsMargins(6, 0, 0, 0);
    dots->setSpacing(6);
    for (SliderTheme theme : allSliderThemes) {
        auto* dot = new ThemeDot(theme, content);
        connect(dot, &ThemeDot::clicked, this, [this, theme] { preferences_.setSelectedTheme(theme); });
        dots->addWidget(dot);
        themeDots_.push_back(dot);
    }
    dots->addStretch(1);
    layout->addLayout(dots);

    addSectionTitle(content, QStringLiteral("Software Update"));
    autoUpdates_ = new ToggleBarRow(QStringLiteral("Check for updates automatically"), content);
    autoUpdates_->setObjectName(QStringLiteral("AutoUpdateRow"));
    connect(autoUpdates_, &ToggleBarRow::tapped, this, [this] {
        if (!updates_ || !updates_->canCheckForUpdates())
            return;
        updates_->setAutomaticallyChecksForUpdates(!updates_->automaticallyChecksForUpdates());
        autoUpdates_->setOn(updates_->automaticallyChecksForUpdates());
    });
    layout->addWidget(autoUpdates_);
    auto* checkNow = new QPushButton(QStringLiteral("Check for updates now"), content);
    checkNow->setObjectName(QStringLiteral("CheckUpdatesButton"));
    connect(checkNow, &QPushButton::clicked, this, [this] {
        if (updates_ && updates_->canCheckForUpdates())
            updates_->checkForUpdates();
    });
    layout->addWidget(checkNow, 0, Qt::AlignLeft);
    bool canCheck = updates_ && updates_->canCheckForUpdates();
    autoUpdates_->setEnabled(canCheck);
    checkNow->setEnabled(canCheck);
    if (!canCheck && updates_ && !updates_->note().empty())
        layout->addWidget(noteLabel(content, QString::fromStdString(updates_->note()), "UpdateNote"));

    addSectionTitle(content, QStringLiteral("Support"));
    auto* support = new QHBoxLayout;
    auto* report = new QPushButton(QStringLiteral("Report compatibility issue"), content);
    report->setObjectName(QStringLiteral("ReportButton"));
    connect(report, &QPushButton::clicked, this, [this] { sendCompatibilityReport(); });
    auto* copy = new QPushButton(QStringLiteral("Copy report"), content);
    copy->setObjectName(QStringLiteral("CopyReportButton"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(QString::fromStdString(compatibilityReport())); });
    support->addWidget(report);
    support->addWidget(copy);
    support->addStretch(1);
    layout->addLayout(support);
    layout->addWidget(noteLabel(content,
                                QStringLiteral("Sends your display configuration to help us diagnose "
                                               "compatibility problems. No personal data is included."),
                                "ReportNote"));
    auto* contact = new QPushButton(QStringLiteral("Contact"), content);
    contact->setObjectName(QStringLiteral("ContactButton"));
    connect(contact, &QPushButton::clicked, this, [] { openMailURL(contactMailURL(supportAddress())); });
    layout->addWidget(contact, 0, Qt::AlignLeft);

    layout->addSpacing(8);
    auto* version = noteLabel(content, QStringLiteral("Version ") + QString::fromStdString(versionText()),
                              "VersionFooter");
    version->setAlignment(Qt::AlignHCenter);
    layout->addWidget(version);
    layout->addStretch(1);
    return content;
}

void BrivioSettingsView::refresh() {
    QColor accent = accentColor(preferences_.selectedTheme(), *this);
    for (ToggleBarRow* row : {launchAtLogin_, showPercentage_, autoUpdates_})
        row->setTint(accent);
    showPercentage_->setOn(preferences_.showSliderPercentage());
    if (updates_ && updates_->canCheckForUpdates())
        autoUpdates_->setOn(updates_->automaticallyChecksForUpdates());
    if (stepPickerTheme_ != preferences_.selectedTheme())
        styleStepPicker(preferences_.selectedTheme());
    std::size_t step = nearestStepChoice(preferences_.brightnessStep());
    for (std::size_t i = 0; i < stepButtons_.size(); ++i)
        stepButtons_[i]->setChecked(i == step);
    for (ThemeDot* dot : themeDots_)
        dot->setSelected(dot->theme() == preferences_.selectedTheme());
}

void BrivioSettingsView::styleStepPicker(SliderTheme theme) {
    // Segments of one control; the chosen one filled with the accent, dark enough to stand out from
    // the page, its label in black or white, whichever reads.
    stepPickerTheme_ = theme;
    QColor page = palette().color(QPalette::Window);
    QColor fill = legibleOn(accentColor(theme, *this), page, 3.0);
    QColor edge = legibleOn(palette().color(QPalette::Mid), page, 3.0);
    for (std::size_t i = 0; i < stepButtons_.size(); ++i) {
        int left = i == 0 ? 6 : 0;
        int right = i + 1 == stepButtons_.size() ? 6 : 0;
        stepButtons_[i]->setStyleSheet(
            QStringLiteral(
                "QPushButton { padding: 3px 12px; border: 1px solid %1; background: palette(button); "
                "color: palette(button-text); border-top-left-radius: %4px; "
                "border-bottom-left-radius: %4px; border-top-right-radius: %5px; "
                "border-bottom-right-radius: %5px; }"
                "QPushButton:checked { background: %2; border-color: %2; color: %3; }"
                "QPushButton:focus { border: 2px solid palette(highlight); }")
                .arg(edge.name(), fill.name(), textOn(fill).name())
                .arg(left)
                .arg(right));
    }
}

void BrivioSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Another program (or the user's file manager) may have changed it since.
    if (loginItem_)
        launchAtLogin_->setOn(loginItem_->isEnabled());
    refresh();
}

std::string BrivioSettingsView::compatibilityReport() const {
    MachineFacts facts = readMachineFacts();
    facts.version = versionText();
    facts.build = buildText(BRIVIO_BUILD);
    return buildCompatibilityReport(facts, controller_.displays());
}

void BrivioSettingsView::sendCompatibilityReport() {
    openMailURL(compatibilityMailURL(supportAddress(), compatibilityReport()));
}

std::string BrivioSettingsView::supportAddress() {
    return BRIVIO_SUPPORT_ADDRESS;
}

std::string BrivioSettingsView::versionText() {
    return brivio::versionText(QCoreApplication::applicationVersion().toStdString());
}

QSize BrivioSettingsView::sizeHint() const {
    // As tall as the content up to a height that still fits under a top bar; beyond it, scroll.
    int content = scroll_->widget()->sizeHint().height() + 48;
    return {360, std::min(content, 620)};
}

} // namespace brivio
