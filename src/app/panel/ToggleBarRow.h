#pragma once
// A full-width switch row: a label and a switch, tinted while on. Tapping it reports; the owner decides
// the new state and sets it back (the row shows a bound value, it does not flip itself).

#include <QColor>
#include <QWidget>

class QLabel;

namespace brivio {

class ToggleBarRow : public QWidget {
    Q_OBJECT
public:
    ToggleBarRow(const QString& label, QWidget* parent = nullptr);

    bool isOn() const { return isOn_; }
    void setOn(bool on);
    void setTint(QColor tint);
    QString label() const;
    // "Tap to disable" while on, "Tap to enable" otherwise.
    QString helpText() const;
    // As a tap.
    void tap() { Q_EMIT tapped(); }

Q_SIGNALS:
    void tapped();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* label_;
    QColor tint_;
    bool isOn_ = false;
};

} // namespace brivio
