#include "app/panel/LiteralText.h"

#include <QAbstractButton>

namespace brivio {

QString literalButtonText(const QString& text) {
    QString out = text;
    return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void setLiteralText(QAbstractButton& button, const QString& text) {
    button.setText(literalButtonText(text));
}

} // namespace brivio
