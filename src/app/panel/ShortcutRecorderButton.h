#pragma once
// The recorder of one brightness shortcut: a button that shows the stored combination, records the next
// key pressed with a modifier, and stores it (the shortcut engine re-registers on the store's change).

#include "base/Signal.h"
#include "settings/BrivioPreferences.h"

#include <QPushButton>
#include <cstdint>
#include <optional>

class QKeyEvent;
class QToolButton;
class QVariantAnimation;

namespace brivio {

class HoverGrowth;

class ShortcutRecorderButton : public QPushButton {
    Q_OBJECT
public:
    ShortcutRecorderButton(BrivioPreferences& preferences, ShortcutAction action, QWidget* parent = nullptr);
    ~ShortcutRecorderButton() override;

    // -1 and 0 when nothing is stored.
    std::int64_t keyCode() const;
    std::int64_t modifiers() const;
    bool isRecording() const { return recording_; }
    void startRecording();
    void stopRecording();
    QToolButton* clearButton() const { return clear_; }

    // A key press while recording; true when the recorder took it (Escape, or a stored combination).
    bool handleKeyPress(const QKeyEvent& event);
    // The stored key code of the event's key, from its keysym where the platform gives one.
    static std::optional<std::int64_t> keyCodeForEvent(const QKeyEvent& event);
    // The event's shift, control, alt and meta in the stored bit layout.
    static std::int64_t storedModifiers(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Grows by 1 % under the pointer; the recording highlight fades in and out.
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    BrivioPreferences& preferences_;
    ShortcutAction action_;
    QToolButton* clear_;
    bool recording_ = false;
    QString refusal_; // why the last combination pressed while recording cannot be a shortcut
    HoverGrowth* growth_;
    QVariantAnimation* highlight_;
    Signal<const std::string&>::Subscription storeChanged_;
};

} // namespace brivio
