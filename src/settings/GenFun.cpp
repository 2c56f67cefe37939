#include "settings/GenFun.h"

#include "data/DatabaseErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <memory>

const QString GenFun::kKey = QStringLiteral("Software\\Brennart\\Corvana");
const QString GenFun::kDefaultCountry = QStringLiteral("defCountryID");

namespace {
// Opens a key "Software\<organisation>\<application>[\<group>...]" as a
// store of its own; creates the key (on file-backed platforms its file)
// when it does not exist yet.
std::unique_ptr<QSettings> OpenKey(const QString &key) {
    QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() &&
        parts.first().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    const QString organisation = parts.value(0);
    const QString application = parts.value(1);
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                organisation, application);
    for (int i = 2; i < parts.size(); ++i)
        settings->beginGroup(parts[i]);
    const QFileInfo file(settings->fileName());
    if (file.isAbsolute() && !file.exists()) {
        QDir().mkpath(file.absolutePath());
        QFile create(file.absoluteFilePath());
        create.open(QIODevice::WriteOnly);
    }
    return settings;
}
} // namespace

QString GenFun::ReadRegString(const QString &key, const QString &name, const QString &defaultText) {
    const std::unique_ptr<QSettings> settings = OpenKey(key);
    if (!settings->contains(name))
        return defaultText;
    const QVariant value = settings->value(name);
    QString text;
    if (value.typeId() == QMetaType::QString)
        text = value.toString();
    else if (value.typeId() == QMetaType::QByteArray)
        text = QString::fromUtf8(value.toByteArray());
    else
        throw EError(QStringLiteral("Invalid data type for '%1'").arg(name));
    const qsizetype nul = text.indexOf(QChar(0));
    return nul >= 0 ? text.left(nul) : text;
}

void GenFun::WriteRegString(const QString &key, const QString &name, const QString &text) {
    const std::unique_ptr<QSettings> settings = OpenKey(key);
    settings->setValue(name, text);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        throw EError(QStringLiteral("The setting '%1' could not be saved.").arg(name));
}

int GenFun::GetDefaultCountryID() {
    const QString text = ReadRegString(kKey, kDefaultCountry, QStringLiteral("1"));
    bool ok = false;
    const int id = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw EError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return id;
}

void GenFun::SetDefaultCountryID(int id) {
    WriteRegString(kKey, kDefaultCountry, QString::number(id));
}
