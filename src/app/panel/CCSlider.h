#pragma once
// The panel's slider: a symbol, a thick track in the theme's accent with a white fill, and an optional
// whole-percent label. Dragging reports each value; a press on the track away from the thumb jumps.

#include "settings/SliderTheme.h"

#include <QColor>
#include <QWidget>
#include <string_view>

class QLabel;
class QSlider;

namespace brivio {

class CCSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int trackH = 22;
    static constexpr int thumbD = 21;

    CCSlider(std::string_view icon, QColor iconColor, QWidget* parent = nullptr);

    double value() const;
    // The bound value; moves the thumb without reporting.
    void setValue(double value);
    void setRange(double lo, double hi);
    void setTheme(SliderTheme theme);
    void setShowsPercentage(bool shows);
    // While the user holds the thumb, bound updates do not move it under the pointer.
    bool isDragging() const { return isDragging_; }
    QString percentageText() const;

    // Reports as if the user did it (tests and keyboard paths).
    void dragTo(double value);
    void jumpTo(double value);

Q_SIGNALS:
    // The thumb was dragged (or moved by keys) to `value`.
    void dragged(double value);
    // The track was pressed away from the thumb.
    void jumpedTo(double value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double fromSteps(int steps) const;
    int toSteps(double value) const;
    void updateStyle();
    void updateLabel();

    QSlider* slider_;
    QLabel* icon_;
    QLabel* percentage_;
    double lo_ = 0.0;
    double hi_ = 1.0;
    SliderTheme theme_ = SliderTheme::haze;
    bool isDragging_ = false;
    bool reporting_ = true;
};

} // namespace brivio
