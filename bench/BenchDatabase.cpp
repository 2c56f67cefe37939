#include "BenchDatabase.h"

#include "DatabaseBuilder.h"
#include "data/ConnectionString.h"
#include "data/DBConnection.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <stdexcept>

QString BenchDatabasePath() {
    QString path = qEnvironmentVariable("CORVANA_BENCH_DB");
    if (path.isEmpty())
        path = QStringLiteral("/tmp/corvana-bench/_db.mdb");
    if (QFileInfo::exists(path))
        return path;

    std::fprintf(stderr, "Creating the benchmark database %s with %lld contacts...\n",
                 qPrintable(path), static_cast<long long>(kBenchContacts));
    DatabaseBuilder::Options options;
    options.sampleContacts = kBenchContacts;
    QString error;
    // Another benchmark run may have created it meanwhile; that file serves.
    if (!DatabaseBuilder::Create(path, options, &error) && !QFileInfo::exists(path))
        throw std::runtime_error(error.toStdString());
    return path;
}

double ResidentMB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

double PeakResidentMB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

TDBConnection &BenchConnection() {
    static TDBConnection connection(QStringLiteral("connDB"));
    if (!connection.Connected()) {
        const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
        connection.SetConnectionString(ConnectionString::ForProgramFolder(folder));
        connection.Open();
    }
    return connection;
}
