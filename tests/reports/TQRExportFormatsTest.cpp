#include "data/DatabaseErrors.h"
#include "reports/TQRAsciiExportFilter.h"
#include "reports/TQRCommaSeparatedFilter.h"
#include "reports/TQRHTMLDocumentFilter.h"
#include "reports/TQRPositions.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A4 in tenths of a millimetre, as the report hands it over.
constexpr double kPaperWidth = 2100;
constexpr double kPaperLength = 2970;
// One character and one line of the text format under a 10-point font.
constexpr double kCharWidth = 10 * 254.0 / 72 / 1.7;
constexpr double kLineHeight = 10 * 254.0 / 72;

const QByteArray kTableStart = "<TABLE WIDTH=100% CELLPADDING=2 BORDER=0>";

TQRExportFont Font(double points, const QColor &color = Qt::black) {
    TQRExportFont font;
    font.font = QFont(QStringLiteral("Liberation Sans"));
    font.font.setPointSizeF(points);
    font.color = color;
    return font;
}

struct Item {
    double x;
    double y;
    QString text;
    TQRExportFont font = Font(10);
    TAlignment alignment = taLeftJustify;
};

using Page = QList<Item>;

// One export run as the report makes it: the page end before the first
// page, then every page begun, filled and ended, then the end of the run.
void Export(TQRExportFilter &filter, const QList<Page> &pages,
            const TQRExportFont &reportFont = Font(10), double paperLength = kPaperLength) {
    filter.BeginExport(kPaperWidth, paperLength, reportFont);
    filter.FinishPage();
    for (const Page &page : pages) {
        filter.BeginPage();
        for (const Item &item : page)
            filter.PlaceText(item.x, item.y, item.font, Qt::white, item.alignment, item.text);
        filter.FinishPage();
    }
    filter.EndExport();
}

QByteArray ReadAll(const QString &name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray ExportToFile(TQRExportFilterClass format, const QList<Page> &pages,
                        const TQRExportFont &reportFont = Font(10),
                        double paperLength = kPaperLength) {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("out"));
    std::unique_ptr<TQRExportFilter> filter = format(name);
    Export(*filter, pages, reportFont, paperLength);
    EXPECT_FALSE(filter->Active());
    return ReadAll(name);
}

QByteArray Html(const QList<Page> &pages, const TQRExportFont &reportFont = Font(10)) {
    TQRHTMLDocumentFilter filter(QString{});
    Export(filter, pages, reportFont);
    return filter.Buffer();
}

// The cell the HTML format writes for one item on a page of its own.
QByteArray HtmlCell(const Item &item, const TQRExportFont &reportFont = Font(10)) {
    const QByteArray html = Html({{item}}, reportFont);
    const QByteArray prefix = kTableStart + "</TABLE>" + kTableStart + "<TR>";
    const QByteArray suffix = "</TR>\r\n</TABLE>";
    if (!html.startsWith(prefix) || !html.endsWith(suffix))
        return "<unexpected> " + html;
    return html.mid(prefix.size(), html.size() - prefix.size() - suffix.size());
}

// Where the text format puts the start of a text beginning at character p.
double AtCharacter(int p) {
    return p * kCharWidth;
}

double AtLine(int r) {
    return r * kLineHeight;
}

QByteArray Text(const QList<Page> &pages, double paperLength = kPaperLength) {
    return ExportToFile(&TQRAsciiExportFilter::Create, pages, Font(10), paperLength);
}

// Restores the program-wide separator whatever a test does.
struct SeparatorGuard {
    QChar saved = TQRCommaSeparatedFilter::Separator();
    ~SeparatorGuard() { TQRCommaSeparatedFilter::SetSeparator(saved); }
};

} // namespace

TEST(TQRPositionsTest, RanksDistinctPositionsFromTheSmallestUp) {
    TQRPositions positions;
    for (double x : {300.0, 100.2, 99.8, 200.0, 100.0, 300.4})
        positions.AddPosition(x);
    ASSERT_EQ(positions.Entries().size(), 3);
    EXPECT_EQ(positions.Entries()[1].position, 100.2);
    EXPECT_EQ(positions.Entries()[1].count, 3);
    EXPECT_EQ(positions.Entries()[0].count, 2);
    EXPECT_EQ(positions.RankOf(99.8), 0) << "no rank before ranks are assigned";

    positions.AssignRanks();
    EXPECT_EQ(positions.RankOf(99.8), 1);
    EXPECT_EQ(positions.RankOf(100.2), 1);
    EXPECT_EQ(positions.RankOf(200), 2);
    EXPECT_EQ(positions.RankOf(299.6), 3);
    EXPECT_EQ(positions.RankOf(250), 0) << "a position never added";
    EXPECT_EQ(positions.HighestRank(), 3);
    EXPECT_FALSE(positions.Updating());
}

TEST(TQRPositionsTest, HalvesRoundToEven) {
    TQRPositions positions;
    for (double x : {100.5, 99.5, 101.5, 102.4, 0.5})
        positions.AddPosition(x);
    // 100.5 and 99.5 both round to 100; 101.5 and 102.4 both to 102.
    ASSERT_EQ(positions.Entries().size(), 3);
    EXPECT_EQ(positions.Entries()[0].count, 2);
    EXPECT_EQ(positions.Entries()[1].count, 2);
    positions.AssignRanks();
    EXPECT_EQ(positions.RankOf(0.5), 1) << "its exact position is above 0";
    EXPECT_EQ(positions.RankOf(100), 2);
    EXPECT_EQ(positions.RankOf(101.6), 3);
}

TEST(TQRPositionsTest, ZeroNegativeAndOffPagePositionsAreNeverRanked) {
    TQRPositions positions;
    for (double x : {-40.0, 0.0, 0.4, 9999999.0, 1e300, 50.0})
        positions.AddPosition(x);
    positions.AssignRanks();
    EXPECT_EQ(positions.RankOf(-40), 0);
    EXPECT_EQ(positions.RankOf(0.4), 0) << "counted in the entry made by 0";
    EXPECT_EQ(positions.RankOf(9999999), 0);
    EXPECT_EQ(positions.RankOf(1e300), 0);
    EXPECT_EQ(positions.RankOf(50), 1);
    EXPECT_EQ(positions.HighestRank(), 1);
}

TEST(CsvExportTest, OneFieldPerColumnAndOneRecordPerLineTop) {
    const QByteArray csv = ExportToFile(
        &TQRCommaSeparatedFilter::Create,
        {{{100.2, 50, "Name"}, {99.8, 80, "Street"}, {300, 80, "Town"}, {100.3, 50.2, "hidden"}}});
    // The first FinishPage, before any page, writes nothing; the later item
    // at the cell of "Name" is not written.
    EXPECT_EQ(csv, "\"Name\",\"\"\r\n\"Street\",\"Town\"\r\n");
}

TEST(CsvExportTest, QuotesInsideACellAreDoubled) {
    const QByteArray csv = ExportToFile(&TQRCommaSeparatedFilter::Create,
                                        {{{100, 50, "say \"hi\""}, {200, 50, "\""}}});
    EXPECT_EQ(csv, "\"say \"\"hi\"\"\",\"\"\"\"\r\n");
}

TEST(CsvExportTest, TheSeparatorIsOneValueForEveryExport) {
    SeparatorGuard guard;
    EXPECT_EQ(TQRCommaSeparatedFilter::Separator(), QLatin1Char(','));
    TQRCommaSeparatedFilter::SetSeparator(QLatin1Char(';'));
    const QByteArray csv =
        ExportToFile(&TQRCommaSeparatedFilter::Create,
                     {{{100, 50, "a"}, {200, 50, "b"}, {300, 50, "c"}}, {{100, 50, "d"}}});
    EXPECT_EQ(csv, "\"a\";\"b\";\"c\"\r\n\"d\"\r\n");
}

TEST(CsvExportTest, ItemsAtOrBeforeThePageEdgeAreNeverWritten) {
    // No line rank at all: nothing is written for the page.
    EXPECT_EQ(
        ExportToFile(&TQRCommaSeparatedFilter::Create, {{{100, 0, "top"}, {200, -3, "above"}}, {}}),
        QByteArray());
    // Lines but no column: the records have no fields.
    EXPECT_EQ(ExportToFile(&TQRCommaSeparatedFilter::Create, {{{0, 50, "left"}}}), QByteArray());
    // The line of an item left of the page stays, with an empty field.
    EXPECT_EQ(
        ExportToFile(&TQRCommaSeparatedFilter::Create, {{{-10, 50, "gone"}, {100, 80, "kept"}}}),
        "\"\"\r\n\"kept\"\r\n");
}

TEST(CsvExportTest, EachPageStartsWithoutTheItemsOfTheLastOne) {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("pages.csv"));
    TQRCommaSeparatedFilter filter(name);
    filter.BeginExport(kPaperWidth, kPaperLength, Font(10));
    filter.FinishPage();
    filter.BeginPage();
    filter.PlaceText(100, 50, Font(10), Qt::white, taLeftJustify, QStringLiteral("first"));
    filter.FinishPage();
    EXPECT_TRUE(filter.Entries().isEmpty());
    filter.PlaceText(100, 50, Font(10), Qt::white, taLeftJustify, QStringLiteral("dropped"));
    filter.BeginPage();
    filter.PlaceText(300, 90, Font(10), Qt::white, taLeftJustify, QStringLiteral("second"));
    filter.FinishPage();
    EXPECT_EQ(filter.ColumnCount(), 1);
    EXPECT_EQ(filter.LineCount(), 1);
    filter.EndExport();
    EXPECT_EQ(ReadAll(name), "\"first\"\r\n\"second\"\r\n");
}

TEST(HtmlExportTest, WritesOneTablePerPageEndWithFontTagsForDifferingItems) {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("report.htm"));
    std::unique_ptr<TQRExportFilter> filter = TQRHTMLDocumentFilter::Create(name);
    EXPECT_TRUE(filter->SuppressesPageBreaks());
    Export(*filter, {{{100, 50, "Name"},
                      {300, 50, "Big", Font(12)},
                      {100, 80, "Red", Font(10, Qt::red)},
                      {300, 80, "Both", Font(14, QColor(0x12, 0x34, 0x56))},
                      {500, 80, "", Font(20, Qt::red)}}});
    EXPECT_EQ(ReadAll(name), kTableStart + "</TABLE>" + kTableStart +
                                 "<TR><TD>Name</TD><TD><FONT  SIZE=+1>Big</FONT></TD><TD></TD>"
                                 "</TR>\r\n"
                                 "<TR><TD><FONT COLOR=\"#FF0000\">Red</FONT></TD>"
                                 "<TD><FONT COLOR=\"#123456\" SIZE=+2>Both</FONT></TD><TD></TD>"
                                 "</TR>\r\n</TABLE>");
}

TEST(HtmlExportTest, RelativeSizeIsTheDifferenceOfSizeClasses) {
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(12)}), "<TD><FONT  SIZE=+1>t</FONT></TD>");
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(9)}), "<TD><FONT  SIZE=+0>t</FONT></TD>")
        << "two sizes of one class";
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(8)}), "<TD><FONT  SIZE=-1>t</FONT></TD>");
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(30)}), "<TD><FONT  SIZE=+6>t</FONT></TD>");
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(6)}, Font(30)), "<TD><FONT  SIZE=-7>t</FONT></TD>");
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(10)}), "<TD>t</TD>");

    const QList<QPair<double, int>> classes = {{1, 0},  {8, 0},    {8.5, 1}, {10, 1},
                                               {12, 2}, {13.5, 3}, {14, 3},  {18, 4},
                                               {24, 5}, {24.5, 7}, {72.0, 7}};
    for (const auto &[points, sizeClass] : classes)
        EXPECT_EQ(TQRHTMLDocumentFilter::SizeClass(points), sizeClass) << points;
}

TEST(HtmlExportTest, ColoursCompareByValueAndAreWrittenRedGreenBlue) {
    EXPECT_EQ(TQRHTMLDocumentFilter::ColorDigits(QColor(1, 2, 3)), "010203");
    EXPECT_EQ(TQRHTMLDocumentFilter::ColorDigits(QColor(0xAB, 0, 0xCD)), "AB00CD");
    EXPECT_EQ(TQRHTMLDocumentFilter::ColorDigits(Qt::black), "000000");
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(10, QColor(0, 0, 0, 128))}), "<TD>t</TD>");
    EXPECT_EQ(HtmlCell({100, 50, "t", Font(10, Qt::black)}, Font(10, Qt::blue)),
              "<TD><FONT COLOR=\"#000000\">t</FONT></TD>");
}

TEST(HtmlExportTest, CellTextIsEscaped) {
    EXPECT_EQ(HtmlCell({100, 50, "a < b & \"c\" > d"}),
              "<TD>a &lt; b &amp; &quot;c&quot; &gt; d</TD>");
    EXPECT_EQ(HtmlCell({100, 50, "&amp;<br>", Font(12)}),
              "<TD><FONT  SIZE=+1>&amp;amp;&lt;br&gt;</FONT></TD>");
}

TEST(HtmlExportTest, WithoutAFileNameTheOutputGoesToMemory) {
    TQRHTMLDocumentFilter filter(QString{});
    Export(filter, {{}, {{100, 50, "x"}}});
    const QByteArray empty = kTableStart + "</TABLE>";
    EXPECT_EQ(filter.Buffer(), empty + empty + kTableStart + "<TR><TD>x</TD></TR>\r\n</TABLE>");
    // A second run starts a fresh buffer.
    Export(filter, {});
    EXPECT_EQ(filter.Buffer(), empty);
}

TEST(TextExportTest, CellSizeAndPageLinesFollowTheReportFont) {
    QTemporaryDir folder;
    TQRAsciiExportFilter filter(folder.filePath(QStringLiteral("cells.txt")));
    filter.BeginExport(kPaperWidth, kPaperLength, Font(10));
    EXPECT_NEAR(filter.CellWidth(), 35.28, 0.005);
    EXPECT_NEAR(filter.CellHeight(), 35.28, 0.005);
    EXPECT_EQ(filter.PageLines(), 84);
    filter.EndExport();

    // A font measured in pixels gives no point size: the cell falls back
    // to that of a 10-point font instead of dividing by zero.
    TQRExportFont pixels = Font(10);
    pixels.font.setPixelSize(20);
    filter.BeginExport(kPaperWidth, kPaperLength, pixels);
    EXPECT_NEAR(filter.CellHeight(), 35.28, 0.005);
    filter.BeginPage();
    filter.PlaceText(AtCharacter(2), AtLine(1), pixels, Qt::white, taLeftJustify, "px");
    filter.FinishPage();
    filter.EndExport();
    EXPECT_EQ(ReadAll(filter.FileName()), " px\r\n");
}

TEST(TextExportTest, AlignmentDecidesWhereTheTextBegins) {
    // 415 is 20 character widths: right-aligned "abc" ends there.
    EXPECT_EQ(Text({{{415, 0, "abc", Font(10), taRightJustify}}}), QByteArray(16, ' ') + "abc\r\n");
    // Left-aligned and centred text both begin at the anchor.
    EXPECT_EQ(Text({{{AtCharacter(10), AtLine(1), "mid", Font(10), taCenter},
                     {AtCharacter(10), AtLine(2), "mid", Font(10), taLeftJustify}}}),
              QByteArray(9, ' ') + "mid\r\n" + QByteArray(9, ' ') + "mid\r\n");
    // Right-aligned text longer than its anchor's column goes in front of
    // the line, replacing nothing.
    EXPECT_EQ(Text({{{AtCharacter(1), AtLine(3), "abc"},
                     {AtCharacter(1), AtLine(3), "WXYZ", Font(10), taRightJustify}}}),
              "WXYZabc\r\n");
}

TEST(TextExportTest, LaterTextOverwritesFromItsStartColumn) {
    EXPECT_EQ(Text({{{AtCharacter(1), AtLine(2), "Hello World"},
                     {AtCharacter(7), AtLine(2), "XY"},
                     {AtCharacter(15), AtLine(2), "!"},
                     {AtCharacter(10), AtLine(2), "LONGER"}}}),
              "Hello XYrLONGER\r\n");
}

TEST(TextExportTest, OnlyLinesWithTextAreWrittenAndPagesFollowOneAnother) {
    EXPECT_EQ(Text({{{AtCharacter(1), AtLine(9), "nine"}, {AtCharacter(1), AtLine(5), "five"}},
                    {{AtCharacter(2), AtLine(5), "next"}}}),
              "five\r\nnine\r\n next\r\n");
    // A line of the buffer below the page's last line is not written.
    EXPECT_EQ(Text({{{AtCharacter(1), AtLine(83), "last"}, {AtCharacter(1), AtLine(84), "off"}}}),
              "last\r\n");
}

TEST(TextExportTest, TextOutsideTheBufferIsDropped) {
    const double tall = 10000; // more page lines than the buffer holds
    EXPECT_EQ(Text({{{AtCharacter(1), AtLine(-3), "above"},
                     {AtCharacter(1), AtLine(200), "bottom"},
                     {AtCharacter(1), AtLine(201), "below"},
                     {AtCharacter(1), AtLine(0), "top"},
                     {1e12, AtLine(1), "far right"},
                     {qQNaN(), AtLine(1), "nowhere"},
                     {AtCharacter(1), qInf(), "nowhere"}}},
                   tall),
              "top\r\nbottom\r\n");
}

TEST(ExportOutputTest, NamesAsTheSaveDialogListsThem) {
    const QList<QPair<TQRExportFilterClass, QStringList>> formats = {
        {&TQRHTMLDocumentFilter::Create,
         {"HTML document", "HTM", "HTML document for web publishing"}},
        {&TQRCommaSeparatedFilter::Create, {"Comma Separated", "CSV", "Comma separated text file"}},
        {&TQRAsciiExportFilter::Create, {"Text file", "TXT", "Text export (ASCII) filter"}}};
    for (const auto &[format, names] : formats) {
        std::unique_ptr<TQRExportFilter> filter = format(QStringLiteral("name"));
        EXPECT_EQ(filter->FileName(), "name");
        EXPECT_EQ(
            QStringList({filter->FormatName(), filter->FileExtension(), filter->DescriptionText()}),
            names);
        EXPECT_FALSE(filter->Active());
    }
}

TEST(ExportOutputTest, AFileThatCannotBeCreatedRaisesAndLeavesTheRunInactive) {
    QTemporaryDir folder;
    for (TQRExportFilterClass format :
         {&TQRHTMLDocumentFilter::Create, &TQRCommaSeparatedFilter::Create,
          &TQRAsciiExportFilter::Create}) {
        std::unique_ptr<TQRExportFilter> filter = format(folder.path());
        try {
            filter->BeginExport(kPaperWidth, kPaperLength, Font(10));
            ADD_FAILURE() << "a directory was opened as " << filter->FormatName().toStdString();
        } catch (const EError &error) {
            EXPECT_EQ(error.Message(), "Cannot create file " + folder.path());
        }
        EXPECT_FALSE(filter->Active());
        EXPECT_NO_THROW(filter->EndExport());
    }
}

TEST(ExportOutputTest, AFailedWriteIsNeverReportedAsSuccess) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no device that is always full";
    for (TQRExportFilterClass format :
         {&TQRHTMLDocumentFilter::Create, &TQRCommaSeparatedFilter::Create,
          &TQRAsciiExportFilter::Create}) {
        std::unique_ptr<TQRExportFilter> filter = format(QStringLiteral("/dev/full"));
        EXPECT_THROW(Export(*filter, {{{100, 50, "text"}}}), EError)
            << filter->FormatName().toStdString();
    }
}

TEST(ExportOutputTest, AnExistingLongerFileIsTruncated) {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("old"));
    for (TQRExportFilterClass format :
         {&TQRHTMLDocumentFilter::Create, &TQRCommaSeparatedFilter::Create,
          &TQRAsciiExportFilter::Create}) {
        {
            QFile old(name);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'z'));
        }
        std::unique_ptr<TQRExportFilter> filter = format(name);
        Export(*filter, {{{AtCharacter(1), AtLine(1), "new"}}});
        EXPECT_FALSE(ReadAll(name).contains('z')) << filter->FormatName().toStdString();
        EXPECT_TRUE(ReadAll(name).contains("new"));
        EXPECT_LT(ReadAll(name).size(), 200);
    }
}
