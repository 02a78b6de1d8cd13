#pragma once
// What the schedule card shows while sunrise and sunset cannot be computed: a button that asks the
// location service for access, and fields to type the position in where there is no such service.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brivio {

class LocationManager;

// Solar features can run: the service may be used, or a position is known (typed in or kept from an
// earlier fix), which is all sunrise and sunset need.
bool locationUsable(const LocationManager& location);

class LocationPromptView : public QWidget {
    Q_OBJECT
public:
    LocationPromptView(LocationManager& location, QWidget* parent);

    QPushButton* allowButton() const { return allow_; }
    // Takes the typed position; false (with a hint shown) when it is not one.
    bool useTypedPosition();

private:
    LocationManager& location_;
    QPushButton* allow_;
    QLineEdit* latitude_;
    QLineEdit* longitude_;
    QPushButton* use_;
    QLabel* hint_;
};

} // namespace brivio
