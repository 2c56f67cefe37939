#include "interchange/CsvReader.h"

#include <QBuffer>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

struct Read {
    QList<QStringList> rows;
    QList<int> lines;
    QString error;
    QChar delimiter;
    QString encoding;
    bool fallback = false;
};

Read ReadAll(const QByteArray &bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer);
    Read result;
    QStringList row;
    while (reader.Next(&row)) {
        result.rows << row;
        result.lines << reader.RowLine();
    }
    result.error = reader.Error();
    result.delimiter = reader.Delimiter();
    result.encoding = reader.Encoding();
    result.fallback = reader.UsedFallback();
    return result;
}

TEST(CsvReader, QuotedFieldsHoldDelimitersQuotesAndLineBreaks) {
    const Read read = ReadAll("Company,Note,City\r\n"
                              "\"Smith, Jones\",\"said \"\"hi\"\"\r\nthen left\",Leeds\r\n"
                              "\r\n"
                              "Acme,,\n"
                              "Last,\"\",End");
    ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
    EXPECT_EQ(read.delimiter, QLatin1Char(','));
    ASSERT_EQ(read.rows.size(), 4);
    EXPECT_EQ(read.rows[1], (QStringList{"Smith, Jones", "said \"hi\"\r\nthen left", "Leeds"}));
    EXPECT_EQ(read.rows[2], (QStringList{"Acme", "", ""}));
    EXPECT_EQ(read.rows[3], (QStringList{"Last", "", "End"}));
    // Each row's first line, a field's line break and the blank line counted.
    EXPECT_EQ(read.lines, (QList<int>{1, 2, 5, 6}));
}

TEST(CsvReader, TheDelimiterAndTheEncodingComeFromTheFile) {
    Read read = ReadAll("First Name;Last Name;Company\nAnna;\"Smith; Jr\";Acme\n");
    EXPECT_EQ(read.delimiter, QLatin1Char(';'));
    EXPECT_EQ(read.rows[1], (QStringList{"Anna", "Smith; Jr", "Acme"}));
    read = ReadAll("a\tb,c\tc\n1\t2\t3\n");
    EXPECT_EQ(read.delimiter, QLatin1Char('\t'));
    EXPECT_EQ(read.rows[0], (QStringList{"a", "b,c", "c"}));

    const QString text = QString::fromUtf8("Firma,Ort\nMüller & Söhne,Zürich\n");
    read = ReadAll("\xEF\xBB\xBF" + text.toUtf8());
    EXPECT_EQ(read.encoding, "UTF-8");
    EXPECT_EQ(read.rows[1],
              (QStringList{QString::fromUtf8("Müller & Söhne"), QString::fromUtf8("Zürich")}));
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    const QByteArray wide = utf16.encode(text);
    read = ReadAll("\xFF\xFE" + wide);
    EXPECT_EQ(read.encoding, "UTF-16LE");
    EXPECT_EQ(read.rows[1][1], QString::fromUtf8("Zürich"));
    read = ReadAll(wide); // no byte order mark
    EXPECT_EQ(read.encoding, "UTF-16LE");
    EXPECT_EQ(read.rows[0], (QStringList{"Firma", "Ort"}));
    EXPECT_FALSE(read.fallback);
    read = ReadAll("Firma,Ort\nM\xfcller,Z\xfcrich\n");
    EXPECT_TRUE(read.fallback);
    EXPECT_EQ(read.encoding, "windows-1252");
    EXPECT_EQ(read.rows[1][1], QString::fromUtf8("Zürich"));
}

TEST(CsvReader, RowsAcrossManyPiecesOfTheFileComeWhole) {
    QByteArray bytes = "Company,Note\n";
    for (int i = 0; i < 20000; ++i)
        bytes +=
            QStringLiteral("\"Firm %1, Ltd\",\"line one\nline \"\"two\"\" é\"\r\n").arg(i).toUtf8();
    const Read read = ReadAll(bytes);
    ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
    ASSERT_EQ(read.rows.size(), 20001);
    for (int i = 0; i < 20000; i += 997) {
        EXPECT_EQ(read.rows[i + 1], (QStringList{QStringLiteral("Firm %1, Ltd").arg(i),
                                                 QString::fromUtf8("line one\nline \"two\" é")}));
        EXPECT_EQ(read.lines[i + 1], 2 + 2 * i);
    }
}

TEST(CsvReader, AQuoteLeftOpenNamesTheLineItBeganOn) {
    const Read read = ReadAll("a,b\n1,2\n3,\"open\n4,5\n");
    EXPECT_EQ(read.rows.size(), 2);
    EXPECT_EQ(
        read.error,
        "Line 3: the quoted field that begins there is not closed before the end of the file");
    EXPECT_TRUE(ReadAll("").rows.isEmpty());
    EXPECT_TRUE(ReadAll("").error.isEmpty());
}

} // namespace
