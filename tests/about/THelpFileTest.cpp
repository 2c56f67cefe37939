#include "about/THelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The text a reader sees (markup and style sheet left out), with runs of
// white space made single blanks; fails the test when the page is not
// well-formed markup.
QString VisibleText(const QByteArray &page) {
    QXmlStreamReader reader(page);
    QString text;
    int inStyle = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("style"))
            ++inStyle;
        else if (reader.isEndElement() && reader.name() == QLatin1String("style"))
            --inStyle;
        else if (reader.isCharacters() && !inStyle)
            text += reader.text();
        else if (reader.isStartElement())
            text += QLatin1Char(' ');
    }
    EXPECT_FALSE(reader.hasError())
        << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    return text.simplified();
}

TEST(HelpFile, OpenHandsTheLocalFileAddressToTheOpener) {
    QList<QUrl> opened;
    const auto record = [&opened](const QUrl &url) { opened << url; };
    THelpFile::Open(record);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(opened[0].toLocalFile(), QCoreApplication::applicationDirPath() + "/Corvana.html");

    // A folder without the page: the address is handed over all the same and
    // nothing is raised.
    EXPECT_NO_THROW(THelpFile::OpenIn("/no/such/folder/", record));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].toLocalFile(), "/no/such/folder/Corvana.html");
}

TEST(HelpFile, AnInstalledProgramFindsThePageInItsDataFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath("usr/bin") + "/";
    QDir().mkpath(bin);
    QDir().mkpath(root.filePath("usr/share/corvana"));
    QFile page(root.filePath("usr/share/corvana/Corvana.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    EXPECT_EQ(THelpFile::PathIn(bin), root.filePath("usr/share/corvana/Corvana.html"));
    // A page beside the program comes first.
    QFile beside(bin + "Corvana.html");
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    EXPECT_EQ(THelpFile::PathIn(bin), bin + "Corvana.html");
}

TEST(HelpPage, TheBuildPutsItBesideThePrograms) {
    const QByteArray built = ReadAll(QStringLiteral(CORVANA_HELP_FILE));
    ASSERT_FALSE(built.isEmpty()) << CORVANA_HELP_FILE;
    EXPECT_EQ(built, ReadAll(QStringLiteral(CORVANA_HELP_SOURCE)));
    // The test programs land in the same folder as the program, so Help
    // finds the very page the build copied.
    EXPECT_TRUE(QFile::exists(THelpFile::PathIn(THelpFile::ProgramFolder())));
}

TEST(HelpPage, IsOneWellFormedPageWithNothingFetchedFromElsewhere) {
    const QByteArray page = ReadAll(QStringLiteral(CORVANA_HELP_FILE));
    ASSERT_FALSE(page.isEmpty());
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html>"));
    const QString text = VisibleText(page);
    EXPECT_TRUE(text.startsWith("Corvana Help")) << text.left(80).toStdString();
    const QString markup = QString::fromUtf8(page);
    for (const char *outside :
         {"<link", "<script", "<img", "<iframe", "@import", "http://", "https://"})
        EXPECT_FALSE(markup.contains(QLatin1String(outside), Qt::CaseInsensitive)) << outside;
    // Every link points inside the page, at an id that exists.
    const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    for (auto it = href.globalMatch(markup); it.hasNext();) {
        const QString target = it.next().captured(1);
        ASSERT_TRUE(target.startsWith('#')) << target.toStdString();
        EXPECT_TRUE(markup.contains(QStringLiteral("id=\"%1\"").arg(target.mid(1))))
            << target.toStdString();
    }
}

TEST(HelpPage, ExplainsEveryCommand) {
    const QString text = VisibleText(ReadAll(QStringLiteral(CORVANA_HELP_FILE)));
    const char *commands[] = {
        // The menus.
        "File", "New", "Save Contacts ...", "Print Preview", "Print ...", "Exit", "Tools",
        "Options", "Help", "About",
        // The editor.
        "<<", "<", ">", ">>", "Save", "Cancel", "Delete", "Mail button", "Web button",
        "Last Contact", "Call Back Date", "Country", "Contact Status",
        // The lists.
        "Call Backs", "Search / Filter", "Display", "Load", "Search For",
        // The Options dialog and the About box.
        "Defaults", "Set as Default", "OK", "Close",
        // The preview window.
        "Zoom to fit", "100%", "Zoom to width", "First page", "Previous page", "Next page",
        "Last page", "Printer setup", "Save Report", "Load Report"};
    for (const char *command : commands)
        EXPECT_TRUE(text.contains(QLatin1String(command))) << command;
}

TEST(HelpPage, HoldsNoPlaceholderText) {
    const QString text = VisibleText(ReadAll(QStringLiteral(CORVANA_HELP_FILE)));
    for (const char *word : {"TODO", "FIXME", "lorem", "XXX"})
        EXPECT_FALSE(text.contains(QLatin1String(word), Qt::CaseInsensitive)) << word;
}

} // namespace
