#pragma once
// Button texts shown exactly as written: an "&" in a preset's name or in a label stays an "&" and
// never becomes a keyboard mnemonic that underlines the next letter and grabs Alt+letter.

#include <QString>

class QAbstractButton;

namespace brivio {

// `text` with every "&" doubled, the form a button shows as a single "&".
QString literalButtonText(const QString& text);
void setLiteralText(QAbstractButton& button, const QString& text);

} // namespace brivio
