// libFuzzer target for the saved report file: any byte string must be either
// refused with a reason or accepted as a sound saved report, and then every
// page it counts must be readable and must draw, through the preview's page
// control, into an offscreen image, without reading outside the input.
//
// CORVANA_FUZZ_SEED_DIR=<folder> writes the seed corpus there first: saved
// reports of real report runs (the contact report of a contact with long and
// non-ASCII values, a report of several pages, a report of no page).
#include "DatabaseBuilder.h"
#include "data/DBConnection.h"
#include "data/TableCursor.h"
#include "reports/QRpt.h"
#include "reports/TQRPageList.h"
#include "reports/TQRPagePicture.h"
#include "reports/TQRPreviewImage.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRReport.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void Store(TQRPrinter &producer, const QString &name) {
    producer.StorePages(name);
}

// The contact report of one contact whose fields are long and not ASCII.
void WriteContactReport(const QString &folder) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("_db.mdb"));
    DatabaseBuilder::Options options;
    options.sampleContacts = 1;
    QString error;
    if (!DatabaseBuilder::Create(path, options, &error))
        return;
    TDBConnection connection(QStringLiteral("connDB"));
    connection.SetConnectionString(
        QStringLiteral("Provider=SQLite;Data Source=%1;Mode=Share Deny None;").arg(path));
    TTableCursor contacts(QStringLiteral("rsContacts"));
    contacts.SetConnection(&connection);
    contacts.SetTableName(QStringLiteral("Contacts"));
    contacts.Open();
    contacts.Edit();
    contacts.FieldNamed(QStringLiteral("CompanyName"))
        ->SetTextValue(QString::fromUtf8("Ørsted & Söhne Überseehandel — 東京支店 ") +
                       QString(60, QChar('x')));
    contacts.FieldNamed(QStringLiteral("Address"))
        ->SetTextValue(QString::fromUtf8("Straße der Einheit 12, Hinterhaus, 3. Stock, ") +
                       QString(200, QChar('y')));
    contacts.FieldNamed(QStringLiteral("Note"))
        ->SetTextValue(QString::fromUtf8("Ζωή, жизнь, life\r\nsecond line\r\n") +
                       QString(2000, QChar('n')));
    contacts.Post();
    TQRMDForm form;
    form.LoadContact(connection, QStringLiteral("1"));
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    form.Report->Run(producer);
    Store(producer, folder + QStringLiteral("/contact-report.qrp"));
}

// A report of `pages` pages, each with a band, a label and its page number.
void WritePagesReport(const QString &name, int pages) {
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    producer.BeginDoc();
    for (int page = 1; page <= pages; ++page) {
        producer.NewPage();
        QPainter *canvas = producer.Canvas();
        canvas->fillRect(QRect(producer.XPos(127), producer.YPos(127), 400, 30),
                         QColor(230, 230, 250));
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(page % 2 ? 10 : 14);
        font.setBold(page % 3 == 0);
        canvas->setFont(font);
        canvas->drawText(producer.XPos(200), producer.YPos(300),
                         QStringLiteral("Page %1 of %2").arg(page).arg(pages));
    }
    producer.EndDoc();
    Store(producer, name);
}

// Lives to the end of the process: destroying it while the process exits
// would run after Qt's own teardown.
QApplication *application = nullptr;
int applicationArgc = 1;
char applicationName[] = "saved_report_fuzz";
char *applicationArgv[] = {applicationName, nullptr};

// The input with the checksum of every page picture it frames made right,
// so that the checks behind the checksum and the drawing get fuzzed too.
QByteArray Resummed(QByteArray bytes) {
    qint64 offset = TQRPageList::HeaderSize;
    for (int page = 0; page < 4096 && offset + 8 <= bytes.size(); ++page) {
        const qint64 next = qFromLittleEndian<qint32>(bytes.constData() + offset + 4);
        const qint64 picture = offset + 8;
        const qint64 length = next - 4 - picture;
        if (next > bytes.size() || length < TQRPagePicture::HeaderSize)
            break;
        qToLittleEndian<quint32>(
            TQRPagePicture::Checksum(bytes.constData() + picture + TQRPagePicture::HeaderSize,
                                     length - TQRPagePicture::HeaderSize),
            bytes.data() + picture + 24);
        offset = next;
    }
    return bytes;
}

// Checks one input; an accepted file must give every page it counts, and
// each must draw.
void Check(const QByteArray &bytes) {
    QString reason;
    if (!TQRPageList::ValidateBytes(bytes, &reason)) {
        if (reason.isEmpty())
            std::abort(); // a refusal always says why
        return;
    }
    std::unique_ptr<TQRPageList> pages = TQRPageList::OpenBytes(bytes, QStringLiteral("input"));
    const int count = pages->PageCount();
    TQRPreviewImage control;
    control.resize(214, 301);
    QImage image(214, 301, QImage::Format_ARGB32);
    for (int page = count; page >= 1; --page) {
        std::unique_ptr<TQRPagePicture> picture = pages->GetPage(page);
        if (!picture)
            std::abort();
        control.SetPicture(std::move(picture));
        control.render(&image);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(applicationArgc, applicationArgv);
    const QByteArray folder = qgetenv("CORVANA_FUZZ_SEED_DIR");
    if (!folder.isEmpty()) {
        const QString dir = QString::fromLocal8Bit(folder);
        QDir().mkpath(dir);
        WriteContactReport(dir);
        WritePagesReport(dir + QStringLiteral("/seven-pages.qrp"), 7);
        WritePagesReport(dir + QStringLiteral("/no-page.qrp"), 0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    Check(bytes);
    const QByteArray resummed = Resummed(bytes);
    if (resummed != bytes)
        Check(resummed);
    return 0;
}
