#pragma once
// The main page: one card per display, the preset card, the schedule card, settings and quit.

#include <QWidget>
#include <map>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayCardView;
class DisplayController;
class GlobalPresetCardView;
class LaterRefresh;
class ScheduleCardView;

class BrivioRootView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 360;

    BrivioRootView(DisplayController& controller, BrivioPreferences& preferences, AppRouter& router,
                   QWidget* parent = nullptr);

    // The display cards in the controller's order.
    const std::vector<DisplayCardView*>& cards() const { return ordered_; }
    QWidget* emptyState() const { return empty_; }
    QScrollArea* scrollArea() const { return scroll_; }
    QToolButton* settingsButton() const { return settings_; }
    QPushButton* quitButton() const { return quit_; }
    GlobalPresetCardView* presetCard() const { return presets_; }
    ScheduleCardView* scheduleCard() const { return schedules_; }

    // Scrolls the page so that `widget` (an editor that just opened) is in view, once it is laid out.
    void reveal(QWidget* widget);

protected:
    // Tab and Shift+Tab follow the page as it is drawn.
    bool focusNextPrevChild(bool next) override;

private:
    void refreshDisplays();

    DisplayController& controller_;
    BrivioPreferences& preferences_;
    QToolButton* settings_;
    QScrollArea* scroll_;
    QVBoxLayout* displaysLayout_;
    QWidget* empty_;
    QLabel* emptyTitle_;
    QLabel* emptyLine_;
    GlobalPresetCardView* presets_;
    ScheduleCardView* schedules_;
    QPushButton* quit_;
    // One card per stable key, kept across republishes so a probe's result updates it in place.
    std::map<std::string, DisplayCardView*> cardsByKey_;
    std::vector<DisplayCardView*> ordered_;
    LaterRefresh* later_;
};

} // namespace brivio
