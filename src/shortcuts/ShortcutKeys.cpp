#include "shortcuts/ShortcutKeys.h"

#include "shortcuts/StoredShortcut.h"

#include <array>
#include <string>

namespace brivio {

namespace {

constexpr std::array<ShortcutKey, 56> keys{{
    {0, 0x61, "A"},      {1, 0x73, "S"},       {2, 0x64, "D"},       {3, 0x66, "F"},
    {4, 0x68, "H"},      {5, 0x67, "G"},       {6, 0x7a, "Z"},       {7, 0x78, "X"},
    {8, 0x63, "C"},      {9, 0x76, "V"},       {11, 0x62, "B"},      {12, 0x71, "Q"},
    {13, 0x77, "W"},     {14, 0x65, "E"},      {15, 0x72, "R"},      {16, 0x79, "Y"},
    {17, 0x74, "T"},     {31, 0x6f, "O"},      {32, 0x75, "U"},      {34, 0x69, "I"},
    {35, 0x70, "P"},     {37, 0x6c, "L"},      {38, 0x6a, "J"},      {40, 0x6b, "K"},
    {45, 0x6e, "N"},     {46, 0x6d, "M"},      {18, 0x31, "1"},      {19, 0x32, "2"},
    {20, 0x33, "3"},     {21, 0x34, "4"},      {23, 0x35, "5"},      {22, 0x36, "6"},
    {26, 0x37, "7"},     {28, 0x38, "8"},      {25, 0x39, "9"},      {29, 0x30, "0"},
    {36, 0xff0d, "↩"},   {48, 0xff09, "⇥"},    {49, 0x20, "Space"},  {51, 0xff08, "⌫"},
    {123, 0xff51, "←"},  {124, 0xff53, "→"},   {125, 0xff54, "↓"},   {126, 0xff52, "↑"},
    {122, 0xffbe, "F1"}, {120, 0xffbf, "F2"},  {99, 0xffc0, "F3"},   {118, 0xffc1, "F4"},
    {96, 0xffc2, "F5"},  {97, 0xffc3, "F6"},   {98, 0xffc4, "F7"},   {100, 0xffc5, "F8"},
    {101, 0xffc6, "F9"}, {109, 0xffc7, "F10"}, {103, 0xffc8, "F11"}, {111, 0xffc9, "F12"},
}};

} // namespace

std::span<const ShortcutKey> shortcutKeys() {
    return keys;
}

const ShortcutKey* shortcutKeyForCode(std::int64_t keyCode) {
    for (const auto& key : keys)
        if (key.keyCode == keyCode)
            return &key;
    return nullptr;
}

const ShortcutKey* shortcutKeyForKeysym(std::uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z')
        keysym += 'a' - 'A';
    for (const auto& key : keys)
        if (key.keysym == keysym)
            return &key;
    return nullptr;
}

std::string_view shortcutKeyLabel(std::int64_t keyCode) {
    const ShortcutKey* key = shortcutKeyForCode(keyCode);
    return key ? key->label : "?";
}

std::string shortcutLabel(std::int64_t keyCode, std::int64_t modifiers) {
    std::string text;
    if (modifiers & ShortcutModifierBits::control)
        text += "⌃";
    if (modifiers & ShortcutModifierBits::option)
        text += "⌥";
    if (modifiers & ShortcutModifierBits::shift)
        text += "⇧";
    if (modifiers & ShortcutModifierBits::command)
        text += "⌘";
    return text += shortcutKeyLabel(keyCode);
}

} // namespace brivio
