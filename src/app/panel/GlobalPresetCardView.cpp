#include "app/panel/GlobalPresetCardView.h"

#include "app/panel/CardHeader.h"
#include "app/panel/FlowLayout.h"
#include "app/panel/LaterRefresh.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/PresetEditorView.h"
#include "app/panel/PresetPill.h"
#include "core/DisplayController.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace brivio {

GlobalPresetCardView::GlobalPresetCardView(DisplayController& controller, BrivioPreferences& preferences,
                                           QWidget* parent)
    : QWidget(parent), controller_(controller), preferences_(preferences),
      header_(new CardHeader(QStringLiteral("Presets"), QStringLiteral("Preset"),
                             QStringLiteral("New preset"), this)),
      content_(new QWidget(this)), row_(new QWidget(content_)), rowLayout_(new FlowLayout(row_, 6)),
      editor_(new PresetEditorView(controller, preferences, content_)),
      later_(new LaterRefresh(this, [this] { refresh(); })) {
    setObjectName(QStringLiteral("GlobalPresetCardView"));
    // As tall as its pills need at the card's width: two lines when they wrap.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(6);
    layout->addWidget(header_);
    layout->addWidget(content_);

    row_->setObjectName(QStringLiteral("PresetRow"));
    auto* contentLayout = new QVBoxLayout(content_);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(6);
    contentLayout->addWidget(row_);
    contentLayout->addWidget(editor_);

    editor_->setFocusAnchor(header_->chevron());
    connect(header_, &CardHeader::addTapped, this, [this] { editor_->beginAdding(); });
    connect(header_, &CardHeader::chevronTapped, this, [this] {
        bool expanded = !preferences_.presetsCardExpanded();
        // A preview must not stay on the displays behind a collapsed card.
        if (!expanded)
            editor_->cancel();
        preferences_.setPresetsCardExpanded(expanded);
    });
    connect(editor_, &PresetEditorView::openChanged, this, [this](bool open) {
        later_->request();
        Q_EMIT editingChanged(open);
    });

    later_->watch(preferences_.willChange);
    later_->watch(controller_.displaysChanged());
    refresh();
}

void GlobalPresetCardView::refresh() {
    bool expanded = preferences_.presetsCardExpanded();
    header_->setExpanded(expanded);
    content_->setVisible(expanded);

    auto presets = preferences_.globalPresets();
    if (presets != shownPresets_)
        rebuildPills(presets);
    std::optional<Uuid> active;
    if (const auto& text = preferences_.globalActivePresetIDStr())
        active = Uuid::parse(*text);
    QColor accent = accentColor(preferences_.selectedTheme(), *this);
    for (auto* pill : pills_) {
        pill->setActive(active && pill->preset().id == *active);
        pill->setAccent(accent);
    }

    bool full = presets.size() >= maxPresetCount;
    header_->setAddAvailable(expanded, !full && !editor_->isOpen(),
                             full ? QStringLiteral("Six presets at most: delete one to add another")
                                  : QString());
}

void GlobalPresetCardView::rebuildPills(const std::vector<BrightnessPreset>& presets) {
    for (auto* pill : pills_)
        delete pill;
    pills_.clear();
    for (const auto& preset : presets) {
        auto* pill = new PresetPill(preset, row_);
        rowLayout_->insertWidget(static_cast<int>(pills_.size()), pill);
        pill->show();
        pills_.push_back(pill);
        connect(pill, &PresetPill::tapped, this, [this, pill] { controller_.applyPreset(pill->preset()); });
        connect(pill, &PresetPill::editRequested, this,
                [this, pill] { editor_->beginEditing(pill->preset()); });
    }
    shownPresets_ = presets;
}

} // namespace brivio
