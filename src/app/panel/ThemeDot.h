#pragma once
// One accent theme on the settings page: a dot in the theme's colour, ringed while it is the chosen one.

#include "settings/SliderTheme.h"

#include <QAbstractButton>

namespace brivio {

class ThemeDot : public QAbstractButton {
    Q_OBJECT
public:
    ThemeDot(SliderTheme theme, QWidget* parent = nullptr);
    SliderTheme theme() const { return theme_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    QSize sizeHint() const override { return {26, 26}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SliderTheme theme_;
    bool selected_ = false;
};

} // namespace brivio
