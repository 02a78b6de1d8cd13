#pragma once
// The first-run page: the logo, the product name, a tagline, one line on what the app does, and
// "Get started", which ends the first run through the router.

#include <QWidget>

class QPushButton;

namespace brivio {

class AppRouter;

class WelcomeView : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeView(AppRouter& router, QWidget* parent = nullptr);
    QPushButton* getStartedButton() const { return getStarted_; }

private:
    QPushButton* getStarted_;
};

} // namespace brivio
