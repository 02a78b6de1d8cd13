#pragma once
// A layout that places its widgets left to right and starts a new line when the next one would not
// fit: the preset pills wrap instead of scrolling sideways under a scroll bar.

#include <QLayout>
#include <vector>

namespace brivio {

class FlowLayout final : public QLayout {
public:
    FlowLayout(QWidget* parent, int spacing);
    ~FlowLayout() override;

    void insertWidget(int index, QWidget* widget);

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the items out in `rect`; moves them only when `apply`. Returns the height used.
    int arrange(const QRect& rect, bool apply) const;

    std::vector<QLayoutItem*> items_;
    int spacing_;
};

} // namespace brivio
