#include "data/TextFold.h"

#include "data/LocateOptions.h"
#include "sqlite/SqliteLike.h"

#include <gtest/gtest.h>

namespace {

TEST(TextFold, SimpleLowercaseOfEveryCodePoint) {
    EXPECT_EQ(TextFold::Fold(U'A'), U'a');
    EXPECT_EQ(TextFold::Fold(U'z'), U'z');
    EXPECT_EQ(TextFold::Fold(U'@'), U'@');
    EXPECT_EQ(TextFold::Fold(U'Ü'), U'ü');
    EXPECT_EQ(TextFold::Fold(U'Σ'), U'σ');
    EXPECT_EQ(TextFold::Fold(U'ς'), U'ς'); // final sigma is lowercase already
    EXPECT_EQ(TextFold::Fold(U'Ж'), U'ж');
    EXPECT_EQ(TextFold::Fold(U'\u1E9E'), U'ß');
    EXPECT_EQ(TextFold::Fold(U'\u212A'), U'k');
    EXPECT_EQ(TextFold::Fold(U'\U00010400'), U'\U00010428');
    EXPECT_EQ(TextFold::Fold(char32_t(0x110000)), char32_t(0x110000));
    EXPECT_TRUE(TextFold::ReachedFromWide(U'k'));
    EXPECT_TRUE(TextFold::ReachedFromWide(U'K'));
    EXPECT_FALSE(TextFold::ReachedFromWide(U'a'));
    EXPECT_FALSE(TextFold::ReachedFromWide(U'%'));
}

TEST(TextFold, TextsCompareCodePointByCodePoint) {
    EXPECT_TRUE(TextFold::Equal(u"Müller", u"MÜLLER"));
    EXPECT_FALSE(TextFold::Equal(u"Müller", u"MÜLLERS"));
    EXPECT_FALSE(TextFold::Equal(u"Müller", u"Muller"));
    EXPECT_TRUE(TextFold::Equal(u"", u""));
    EXPECT_TRUE(TextFold::Equal(u"\U00010400x", u"\U00010428X"));
    // A lone surrogate stands for itself.
    const QString lone = QString(QChar(0xD801)) + QLatin1Char('a');
    EXPECT_TRUE(TextFold::Equal(lone, QString(QChar(0xD801)) + QLatin1Char('A')));
    EXPECT_FALSE(TextFold::Equal(lone, QStringLiteral("\U00010400")));

    EXPECT_TRUE(TextFold::StartsWith(u"Österreich", u"öS"));
    EXPECT_TRUE(TextFold::StartsWith(u"Österreich", u""));
    EXPECT_FALSE(TextFold::StartsWith(u"Ös", u"öst"));
    EXPECT_TRUE(TextFold::StartsWith(u"\U00010400\U00010401", u"\U00010428"));
    // Half of a surrogate pair does not begin the character.
    EXPECT_FALSE(TextFold::StartsWith(u"\U00010400", QString(QChar(0xD801))));
}

// Locate's case-insensitive comparison and the engine's LIKE are one
// comparison: a whole-value Locate matches exactly where LIKE with the value
// as a pattern (wildcards escaped) does, and a partial one where LIKE with
// "%" appended does.
TEST(TextFold, LocateAgreesWithLike) {
    const QStringList texts = {
        "Müller",   "MÜLLER",     "muller",     "Straße", "STRAẞE", "strasse",     "ΟΔΟΣ",
        "οδος",     "οδοσ",       "Ωmega",      "ωMEGA",  "Kelvin", "\u212Aelvin", "İstanbul",
        "istanbul", "\U00010400", "\U00010428", "",       "50%",    "5_"};
    auto escaped = [](QString key) {
        key.replace(QLatin1Char('!'), QLatin1String("!!"));
        key.replace(QLatin1Char('%'), QLatin1String("!%"));
        key.replace(QLatin1Char('_'), QLatin1String("!_"));
        return key;
    };
    auto like = [](const QString &pattern, const QString &text) {
        const QByteArray p = pattern.toUtf8();
        const QByteArray t = text.toUtf8();
        return SqliteLike::Matches(p.constData(), std::size_t(p.size()), t.constData(),
                                   std::size_t(t.size()), U'!');
    };
    const TLocateOptions whole{true, false};
    const TLocateOptions partial{true, true};
    int equalPairs = 0;
    for (const QString &text : texts) {
        for (const QString &key : texts) {
            const bool equal = LocateTextMatches(text, key, whole);
            EXPECT_EQ(equal, like(escaped(key), text))
                << text.toStdString() << " / " << key.toStdString();
            EXPECT_EQ(LocateTextMatches(text, key, partial),
                      like(escaped(key) + QLatin1Char('%'), text))
                << text.toStdString() << " / " << key.toStdString();
            equalPairs += equal && text != key ? 1 : 0;
        }
    }
    EXPECT_GE(equalPairs, 10);
}

} // namespace
