#pragma once
// The top line of a collapsible card on the main page: its title, an add button and the chevron.
// The owner binds the chevron to its stored flag and decides what the buttons do.

#include <QWidget>

class QLabel;
class QToolButton;

namespace brivio {

class CardHeader : public QWidget {
    Q_OBJECT
public:
    // `prefix` names the buttons for tests and styling: "<prefix>AddButton", "<prefix>Chevron".
    CardHeader(const QString& title, const QString& prefix, const QString& addToolTip, QWidget* parent);

    void setExpanded(bool expanded);
    // Hidden or greyed add button, with the reason as its tool tip when it is refused.
    void setAddAvailable(bool visible, bool enabled, const QString& toolTip);
    QToolButton* addButton() const { return add_; }
    QToolButton* chevron() const { return chevron_; }

Q_SIGNALS:
    void addTapped();
    void chevronTapped();

private:
    QLabel* title_;
    QToolButton* add_;
    QToolButton* chevron_;
    QString addToolTip_;
};

} // namespace brivio
