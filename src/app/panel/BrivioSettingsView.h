#pragma once
// The settings page: general switches, shortcuts and step, theme, updates, support and version.

#include "settings/SliderTheme.h"

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;

namespace brivio {

class AppRouter;
class BrivioPreferences;
class DisplayController;
class LoginItem;
class ThemeDot;
class ToggleBarRow;
class UpdateBridge;

class BrivioSettingsView : public QWidget {
    Q_OBJECT
public:
    BrivioSettingsView(DisplayController& controller, BrivioPreferences& preferences, AppRouter& router,
                       LoginItem* loginItem, UpdateBridge* updates, QWidget* parent = nullptr);

    // The report of this machine and of the controller's displays as they stand now.
    std::string compatibilityReport() const;
    // Hands the report to the mail program as a new message; nothing when no address can be formed.
    void sendCompatibilityReport();
    static std::string supportAddress();
    // "1.0" when the app has no version set.
    static std::string versionText();

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildContent();
    QLabel* addSectionTitle(QWidget* content, const QString& title);
    void refresh();
    void styleStepPicker(SliderTheme theme);

    DisplayController& controller_;
    BrivioPreferences& preferences_;
    LoginItem* loginItem_;
    UpdateBridge* updates_;
    QScrollArea* scroll_ = nullptr;
    ToggleBarRow* launchAtLogin_ = nullptr;
    ToggleBarRow* showPercentage_ = nullptr;
    ToggleBarRow* autoUpdates_ = nullptr;
    std::vector<QPushButton*> stepButtons_;
    std::optional<SliderTheme> stepPickerTheme_;
    std::vector<ThemeDot*> themeDots_;
};

} // namespace brivio
