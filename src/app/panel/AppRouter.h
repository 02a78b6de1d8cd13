#pragma once
// Which page the panel shows: the welcome page covers the others; settings replaces the main page.

#include <QObject>

namespace brivio {

class AppRouter : public QObject {
    Q_OBJECT
public:
    explicit AppRouter(QObject* parent = nullptr) : QObject(parent) {}
    bool showingSettings() const { return showingSettings_; }
    bool showingWelcome() const { return showingWelcome_; }
    void setShowingSettings(bool on);
    void setShowingWelcome(bool on);
    void openSettings() { setShowingSettings(true); }
    void backFromSettings() { setShowingSettings(false); }
    void continueFromWelcome();
    void quit() { Q_EMIT quitRequested(); }

Q_SIGNALS:
    void showingSettingsChanged(bool showing);
    void showingWelcomeChanged(bool showing);
    void quitRequested();
    // "Get started" was pressed: the owner stores that the welcome was seen.
    void welcomeFinished();

private:
    bool showingSettings_ = false;
    bool showingWelcome_ = false;
};

} // namespace brivio
