#include "app/panel/ShortcutRecorderButton.h"

#include "app/panel/HoverGrowth.h"
#include "app/panel/Motion.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PanelTheme.h"
#include "shortcuts/ShortcutKeys.h"
#include "shortcuts/StoredShortcut.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolButton>
#include <QVariantAnimation>

namespace brivio {

namespace {

constexpr std::uint32_t escapeKeysym = 0xff1b;

// Qt's key to the X keysym of the same unshifted key, for events that carry no keysym.
std::optional<std::uint32_t> keysymForQtKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::uint32_t(key - Qt::Key_A + 'a');
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Space)
        return std::uint32_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return std::uint32_t(0xffbe + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0xff0d;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Shift+Tab
        return 0xff09;
    case Qt::Key_Backspace:
        return 0xff08;
    case Qt::Key_Left:
        return 0xff51;
    case Qt::Key_Up:
        return 0xff52;
    case Qt::Key_Right:
        return 0xff53;
    case Qt::Key_Down:
        return 0xff54;
    default:
        return std::nullopt;
    }
}

bool isEscape(const QKeyEvent& event) {
    return event.key() == Qt::Key_Escape || event.nativeVirtualKey() == escapeKeysym;
}

// A modifier pressed on its own: the combination is still being held down.
bool isModifierKey(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

// Shift turns a digit into another character, which no shortcut key matches.
bool isShiftedDigit(const QKeyEvent& event) {
    if (!(event.modifiers() & Qt::ShiftModifier))
        return false;
    // The digit row's X key codes (1 to 0), whatever the layout prints on it.
    if (event.nativeScanCode() >= 10 && event.nativeScanCode() <= 19)
        return true;
    switch (event.key()) {
    case Qt::Key_Exclam:
    case Qt::Key_At:
    case Qt::Key_NumberSign:
    case Qt::Key_Dollar:
    case Qt::Key_Percent:
    case Qt::Key_AsciiCircum:
    case Qt::Key_Ampersand:
    case Qt::Key_Asterisk:
    case Qt::Key_ParenLeft:
    case Qt::Key_ParenRight:
        return true;
    default:
        return false;
    }
}

} // namespace

ShortcutRecorderButton::ShortcutRecorderButton(BrivioPreferences& preferences, ShortcutAction action,
                                               QWidget* parent)
    : QPushButton(parent), preferences_(preferences), action_(action), clear_(new QToolButton(this)),
      growth_(new HoverGrowth(*this, 1.01)), highlight_(new QVariantAnimation(this)) {
    highlight_->setDuration(150);
    highlight_->setEasingCurve(QEasingCurve::OutCubic);
    highlight_->setStartValue(0.0);
    highlight_->setEndValue(1.0);
    connect(highlight_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    setObjectName(QStringLiteral("ShortcutRecorderButton"));
    setCheckable(true); // the recording highlight
    setMinimumWidth(140);
    clear_->setObjectName(QStringLiteral("ShortcutClearButton"));
    clear_->setIcon(symbolIcon("xmark.circle.fill"));
    clear_->setIconSize(QSize(13, 13));
    clear_->setAutoRaise(true);
    clear_->setCursor(Qt::ArrowCursor);
    clear_->setToolTip(QStringLiteral("Clear"));
    connect(this, &QPushButton::clicked, this, [this] {
        if (recording_)
            stopRecording();
        else
            startRecording();
    });
    connect(clear_, &QToolButton::clicked, this, [this] {
        preferences_.setShortcutKeyCode(action_, -1);
        preferences_.setShortcutModifiers(action_, 0);
    });
    // The store reports after the value is in place, so the label can read it at once.
    const StoredShortcut& stored = storedShortcuts[action == ShortcutAction::brightnessUp ? 0 : 1];
    storeChanged_ = preferences_.defaults().changed.subscribe([this, &stored](const std::string& key) {
        if (key == stored.keyCodeKey || key == stored.modifiersKey)
            refresh();
    });
    refresh();
}

ShortcutRecorderButton::~ShortcutRecorderButton() {
    stopRecording();
}

std::int64_t ShortcutRecorderButton::keyCode() const {
    return preferences_.shortcutKeyCode(action_).value_or(-1);
}

std::int64_t ShortcutRecorderButton::modifiers() const {
    return preferences_.shortcutModifiers(action_).value_or(0);
}

void ShortcutRecorderButton::startRecording() {
    if (recording_)
        return;
    recording_ = true;
    refusal_.clear();
    // Every key press of the app, wherever the focus is, like the panel's own keys.
    qApp->installEventFilter(this);
    refresh();
}

void ShortcutRecorderButton::stopRecording() {
    if (!recording_)
        return;
    qApp->removeEventFilter(this);
    recording_ = false;
    refusal_.clear();
    refresh();
}

std::optional<std::int64_t> ShortcutRecorderButton::keyCodeForEvent(const QKeyEvent& event) {
    if (event.nativeVirtualKey() != 0)
        if (const ShortcutKey* key = shortcutKeyForKeysym(event.nativeVirtualKey()))
            return key->keyCode;
    // Keypad keys have keysyms of their own that the grab would not match.
    if (event.modifiers() & Qt::KeypadModifier)
        return std::nullopt;
    if (auto keysym = keysymForQtKey(event.key()))
        if (const ShortcutKey* key = shortcutKeyForKeysym(*keysym))
            return key->keyCode;
    return std::nullopt;
}

std::int64_t ShortcutRecorderButton::storedModifiers(const QKeyEvent& event) {
    Qt::KeyboardModifiers m = event.modifiers();
    std::int64_t bits = 0;
    if (m & Qt::ShiftModifier)
        bits |= ShortcutModifierBits::shift;
    if (m & Qt::ControlModifier)
        bits |= ShortcutModifierBits::control;
    if (m & Qt::AltModifier)
        bits |= ShortcutModifierBits::option;
    if (m & Qt::MetaModifier)
        bits |= ShortcutModifierBits::command;
    return bits;
}

bool ShortcutRecorderButton::handleKeyPress(const QKeyEvent& event) {
    if (!recording_)
        return false;
    if (isEscape(event)) {
        stopRecording();
        return true;
    }
    std::int64_t mods = storedModifiers(event);
    // A shortcut needs a modifier; plain keys (and a modifier key on its own) go on to the focus.
    if (mods == 0 || isModifierKey(event))
        return false;
    auto code = keyCodeForEvent(event);
    if (!code) {
        // Said on the button rather than ignored: the user would wait for a shortcut that never comes.
        refusal_ = isShiftedDigit(event) ? QStringLiteral("Shift with a digit can't be used")
                                         : QStringLiteral("This key can't be used");
        refresh();
        return true;
    }
    stopRecording();
    preferences_.setShortcutKeyCode(action_, *code);
    preferences_.setShortcutModifiers(action_, mods);
    return true;
}

bool ShortcutRecorderButton::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress)
        return handleKeyPress(static_cast<QKeyEvent&>(*event));
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys the recorder will take must reach it as presses, not trigger the app's shortcuts.
        auto& key = static_cast<QKeyEvent&>(*event);
        if (isEscape(key) || (storedModifiers(key) != 0 && !isModifierKey(key))) {
            event->accept();
            return true;
        }
    }
    return QPushButton::eventFilter(watched, event);
}

void ShortcutRecorderButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    int side = height() - 6;
    clear_->setGeometry(width() - side - 4, 3, side, side);
}

void ShortcutRecorderButton::hideEvent(QHideEvent* event) {
    // A closed panel must not go on taking the keys of the app's other windows.
    stopRecording();
    QPushButton::hideEvent(event);
}

void ShortcutRecorderButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QPointF centre = QRectF(rect()).center();
    p.translate(centre);
    p.scale(growth_->scale(), growth_->scale());
    p.translate(-centre);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The idle button underneath, the accent over it at the highlight's strength.
    double level = highlight_->state() == QAbstractAnimation::Running ? highlight_->currentValue().toDouble()
                                                                      : (recording_ ? 1.0 : 0.0);
    option.state = (option.state & ~QStyle::State_On) | QStyle::State_Off;
    p.drawControl(QStyle::CE_PushButton, option);
    if (level <= 0.0)
        return;
    QColor fill =
        legibleOn(accentColor(preferences_.selectedTheme(), *this), palette().color(QPalette::Window), 3.0);
    p.setOpacity(level);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    option.palette.setColor(QPalette::ButtonText, textOn(fill));
    p.drawControl(QStyle::CE_PushButtonLabel, option);
}

void ShortcutRecorderButton::refresh() {
    std::int64_t code = keyCode();
    if (recording_)
        setText(refusal_.isEmpty() ? QStringLiteral("Press keys…") : refusal_);
    else if (code < 0)
        setText(QStringLiteral("Record Shortcut"));
    else
        setText(QString::fromStdString(shortcutLabel(code, modifiers())));
    if (isChecked() != recording_) {
        setChecked(recording_);
        growth_->setAllowed(!recording_);
        highlight_->stop();
        highlight_->setDirection(recording_ ? QAbstractAnimation::Forward : QAbstractAnimation::Backward);
        if (!reducedMotion() && isVisible())
            highlight_->start();
    }
    clear_->setVisible(code >= 0);
}

} // namespace brivio
