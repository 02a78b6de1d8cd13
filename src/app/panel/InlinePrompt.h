#pragma once
// A question asked inside the strip rather than in a separate window (the panel is a popup that a
// dialog would close): a message, an optional detail line and two small text buttons.

#include <QColor>
#include <QWidget>

class QLabel;
class QPushButton;

namespace brivio {

class InlinePrompt : public QWidget {
    Q_OBJECT
public:
    InlinePrompt(const QString& secondary, const QString& primary, QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    void setDetail(const QString& detail);
    void setPrimaryColor(QColor color);

    QPushButton* secondaryButton() const { return secondary_; }
    QPushButton* primaryButton() const { return primary_; }

private:
    QLabel* message_;
    QLabel* detail_;
    QPushButton* secondary_;
    QPushButton* primary_;
};

} // namespace brivio
