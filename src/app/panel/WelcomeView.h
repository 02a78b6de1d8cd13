#pragma once
// The first-run page: the logo, the product name, a tagline, one line on what the app does, and
// "Get started", which ends the first run through the router. It enters with a fade and a short rise.

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class QPushButton;
class QVBoxLayout;

namespace brivio {

class AppRouter;

class WelcomeView : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeView(AppRouter& router, QWidget* parent = nullptr);
    QPushButton* getStartedButton() const { return getStarted_; }

    static constexpr int entranceMs = 380;
    static constexpr int entranceRise = 12;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void playEntrance();

    QPushButton* getStarted_;
    QVBoxLayout* layout_;
    QPointer<QVariantAnimation> entrance_;
};

} // namespace brivio
