#include "export/ExportPieces.h"
#include "export/ContactExport.h"

#include <gtest/gtest.h>

namespace {

TEST(ExportPieces, OnlyDotHtmlExactlyGivesHtmlMode) {
    EXPECT_EQ(ExportPieces::ModeOf("/tmp/out/contacts.html"), TExportMode::Html);
    EXPECT_EQ(ExportPieces::ModeOf("contacts.tar.html"), TExportMode::Html);
    for (const char *name :
         {"/tmp/contacts.HTML", "/tmp/contacts.Html", "/tmp/contacts.htm", "/tmp/contacts.CVS",
          "/tmp/contacts.csv", "/tmp/contacts.txt", "/tmp/contacts", "/tmp/contacts.html.txt",
          "/tmp/contacts.html ", "/tmp/site.html/contacts", "/tmp/.html/contacts"})
        EXPECT_EQ(ExportPieces::ModeOf(name), TExportMode::Text) << name;
}

TEST(ExportPieces, TheExtensionRunsFromTheLastDotOfTheFileName) {
    EXPECT_EQ(ExportPieces::ExtensionOf("/tmp/a.b/contacts.CVS"), ".CVS");
    EXPECT_EQ(ExportPieces::ExtensionOf("/tmp/a.b/contacts"), "");
    EXPECT_EQ(ExportPieces::ExtensionOf("contacts."), ".");
    EXPECT_EQ(ExportPieces::ExtensionOf(".html"), ".html");
    EXPECT_EQ(ExportPieces::ExtensionOf("C:\\My.Files\\contacts"), "");
    EXPECT_EQ(ExportPieces::ExtensionOf(""), "");
}

TEST(ExportPieces, TextCellsCarryTheirCommaAndAreQuotedOnlyWhenTheyMustBe) {
    const ExportPieces text(TExportMode::Text);
    EXPECT_EQ(text.Head(), "");
    EXPECT_EQ(text.RowStart(), "");
    EXPECT_EQ(text.RowEnd(), "\r\n");
    EXPECT_EQ(text.Tail(), "");
    EXPECT_EQ(text.Cell(u""), ",");
    EXPECT_EQ(text.Cell(u"Plain text; it's <fine> & 'kept'"), "Plain text; it's <fine> & 'kept',");
    EXPECT_EQ(text.Cell(u"  padded  "), "  padded  ,");
    EXPECT_EQ(text.Cell(u"Smith, Jones"), "\"Smith, Jones\",");
    EXPECT_EQ(text.Cell(u"The \"Best\""), "\"The \"\"Best\"\"\",");
    EXPECT_EQ(text.Cell(u"\""), "\"\"\"\",");
    EXPECT_EQ(text.Cell(u"one\ntwo"), "\"one\ntwo\",");
    EXPECT_EQ(text.Cell(u"one\rtwo"), "\"one\rtwo\",");
    EXPECT_EQ(text.Cell(u"one\r\ntwo"), "\"one\r\ntwo\",");
}

TEST(ExportPieces, HtmlPiecesAndEscapedCells) {
    const ExportPieces html(TExportMode::Html);
    EXPECT_EQ(html.Head(), "<html> <head> <title>Corvana - Business Contacts Database</title>"
                           "</head>\r\n<body>\r\n<table border=\"1\" width=\"100%\">\r\n");
    EXPECT_EQ(html.RowStart(), "<tr>\r\n");
    EXPECT_EQ(html.RowEnd(), "</tr>\r\n");
    EXPECT_EQ(html.Tail(), "</table>\r\n</body></html>");
    EXPECT_EQ(html.Cell(u""), "<td></td>\r\n");
    EXPECT_EQ(html.Cell(u"Smith, Jones"), "<td>Smith, Jones</td>\r\n");
    EXPECT_EQ(html.Cell(u"<b>A & B</b> \"Q\" 'x'"),
              "<td>&lt;b&gt;A &amp; B&lt;/b&gt; &quot;Q&quot; 'x'</td>\r\n");
    // An entity already in the text is escaped again: the page shows the
    // text exactly as stored.
    EXPECT_EQ(html.Cell(u"&amp;"), "<td>&amp;amp;</td>\r\n");
    EXPECT_EQ(html.Cell(u"one\r\ntwo"), "<td>one\r\ntwo</td>\r\n");
}

TEST(ExportPieces, AppendCellAddsToWhatIsThere) {
    QString line;
    const ExportPieces text(TExportMode::Text);
    text.AppendCell(u"a", line);
    text.AppendCell(u"b,c", line);
    EXPECT_EQ(line, "a,\"b,c\",");
}

TEST(ContactExportTypes, ExactlySixFieldTypesAreExported) {
    std::vector<TFieldType> exported;
    for (int type = ftUnknown; type <= ftGuid; ++type)
        if (ContactExport::IsExported(TFieldType(type)))
            exported.push_back(TFieldType(type));
    EXPECT_EQ(exported, (std::vector<TFieldType>{ftInteger, ftBoolean, ftFloat, ftDate, ftDateTime,
                                                 ftWideString}));
}

} // namespace
