#pragma once
// Placeholder welcome page.

#include <QLabel>

namespace brivio {

class AppRouter;

class WelcomeView : public QLabel {
    Q_OBJECT
public:
    explicit WelcomeView(AppRouter& router, QWidget* parent = nullptr);
};

} // namespace brivio
