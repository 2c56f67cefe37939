#include "data/DatabaseErrors.h"

QString PrefixedMessage(const QString &componentName, const QString &message) {
    if (componentName.isEmpty())
        return message;
    return QStringLiteral("%1: %2").arg(componentName, message);
}
