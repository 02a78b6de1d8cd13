#pragma once
// The solar row's level editor: the brightness the curve keeps at night and reaches at noon.

#include <QPointer>
#include <QWidget>

class QPushButton;

namespace brivio {

class CCSlider;

class SolarLevelsEditorView : public QWidget {
    Q_OBJECT
public:
    explicit SolarLevelsEditorView(QWidget* parent);

    void open(double night, double day);
    // Where the keyboard focus goes when "Done" closes the editor.
    void setFocusAnchor(QWidget* anchor) { focusAnchor_ = anchor; }
    double night() const { return night_; }
    double day() const { return day_; }
    CCSlider* nightSlider() const { return nightSlider_; }
    CCSlider* daySlider() const { return daySlider_; }
    QPushButton* doneButton() const { return done_; }

Q_SIGNALS:
    // "Done": the owner stores the levels.
    void finished(double night, double day);

private:
    CCSlider* nightSlider_;
    CCSlider* daySlider_;
    QPushButton* done_;
    double night_ = 0.3;
    double day_ = 1.0;
    QPointer<QWidget> focusAnchor_;
};

} // namespace brivio
