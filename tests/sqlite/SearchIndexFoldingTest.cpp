#include "data/TextFold.h"
#include "sqlite/SqliteSearchIndex.h"

#include <QHash>
#include <QVector>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <utility>

namespace {

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

QByteArray Utf8(char32_t c) {
    return QString::fromUcs4(&c, 1).toUtf8();
}

// The trigram index may narrow a search only where its case folding puts
// together every pair of characters the program's LIKE takes as equal;
// otherwise a row the LIKE matches would never reach it. This proves
// SqliteSearchIndex::FoldsAlike on the engine in use for every character of
// the Basic Multilingual Plane: with a row "x<b>yz" for each character b, the
// phrase "x<a>yz" must find the rows of every b that TextFold takes as equal
// to a, for each a the whitelist admits. The phrase is longer than three
// characters so that it is a real phrase of several trigrams, as in a search.
class SearchIndexFolding : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (char32_t c = 1; c <= 0x10FFFF; ++c) {
            if (!IsSurrogate(c))
                classes_[TextFold::Fold(c)] << c;
        }
        sqlite3_open(":memory:", &db_);
        sqlite3_exec(db_, "CREATE VIRTUAL TABLE t USING fts5(x, tokenize = 'trigram'); BEGIN",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO t (rowid, x) VALUES (?, ?)", -1, &insert, nullptr);
        auto add = [&](char32_t c) {
            const QByteArray text = "x" + Utf8(c) + "yz";
            sqlite3_bind_int64(insert, 1, c);
            sqlite3_bind_text(insert, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(insert) != SQLITE_DONE)
                ADD_FAILURE() << "cannot add U+" << std::hex << unsigned(c);
            sqlite3_reset(insert);
        };
        for (char32_t c = 1; c <= 0xFFFF; ++c) {
            if (!IsSurrogate(c))
                add(c);
        }
        // Characters beyond the plane that are equal to one in it.
        for (const QVector<char32_t> &members : std::as_const(classes_)) {
            bool inPlane = false;
            for (char32_t c : members)
                inPlane = inPlane || c <= 0xFFFF;
            for (char32_t c : members) {
                if (inPlane && c > 0xFFFF)
                    add(c);
            }
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() {
        sqlite3_close(db_);
        db_ = nullptr;
        classes_.clear();
    }

    // Whether the phrase with `a` finds the row of every character equal to it.
    static bool IndexFindsAllEqualTo(char32_t a) {
        QByteArray phrase = "\"x" + Utf8(a) + "yz\"";
        if (a == U'"')
            phrase = "\"x\"\"yz\"";
        sqlite3_stmt *find = nullptr;
        sqlite3_prepare_v2(db_, "SELECT count(*) FROM t WHERE t MATCH ?1 AND rowid = ?2", -1, &find,
                           nullptr);
        bool all = true;
        for (char32_t b : classes_.value(TextFold::Fold(a))) {
            sqlite3_bind_text(find, 1, phrase.constData(), int(phrase.size()), SQLITE_STATIC);
            sqlite3_bind_int64(find, 2, b);
            if (sqlite3_step(find) != SQLITE_ROW) {
                ADD_FAILURE() << "the query for U+" << std::hex << unsigned(a)
                              << " failed: " << sqlite3_errmsg(db_);
                all = false;
            } else if (sqlite3_column_int(find, 0) != 1) {
                all = false;
            }
            sqlite3_reset(find);
        }
        sqlite3_finalize(find);
        return all;
    }

    static sqlite3 *db_;
    static QHash<char32_t, QVector<char32_t>> classes_;
};

sqlite3 *SearchIndexFolding::db_ = nullptr;
QHash<char32_t, QVector<char32_t>> SearchIndexFolding::classes_;

TEST_F(SearchIndexFolding, EveryCharacterOfTheWhitelistFindsAllItsEqualsAndNoneIsLeftOut) {
    int admitted = 0;
    int provenApart = 0;
    for (char32_t a = 1; a <= 0xFFFF; ++a) {
        if (IsSurrogate(a)) {
            EXPECT_FALSE(SqliteSearchIndex::FoldsAlike(a)) << std::hex << unsigned(a);
            continue;
        }
        const bool agrees = IndexFindsAllEqualTo(a);
        if (SqliteSearchIndex::FoldsAlike(a)) {
            // Soundness: a phrase with a whitelisted character misses nothing.
            EXPECT_TRUE(agrees) << "U+" << std::hex << unsigned(a)
                                << " is whitelisted but the index folds it apart";
            ++admitted;
        } else {
            // The whitelist leaves out only characters the index folds apart,
            // so no search is slowed down for nothing.
            EXPECT_FALSE(agrees) << "U+" << std::hex << unsigned(a)
                                 << " agrees with the index but is not whitelisted";
            ++provenApart;
        }
    }
    EXPECT_GT(admitted, 60000);
    EXPECT_GT(provenApart, 0);
}

TEST_F(SearchIndexFolding, CommonLettersAreWhitelistedAndCharactersBeyondThePlaneAreNot) {
    for (char32_t c : {U'a', U'Z', U'ü', U'Ü', U'ß', U'\u1E9E', U'σ', U'Σ', U'ς', U'ж', U'Ж', U'É',
                       U'\u212A', U'%', U'_', U'"', U'\''})
        EXPECT_TRUE(SqliteSearchIndex::FoldsAlike(c)) << std::hex << unsigned(c);
    for (char32_t c : {char32_t(0), U'\U00010400', U'\U0001F600', char32_t(0x110000)})
        EXPECT_FALSE(SqliteSearchIndex::FoldsAlike(c)) << std::hex << unsigned(c);
    // A Cherokee capital and its small letter: the index does not fold them.
    EXPECT_FALSE(SqliteSearchIndex::FoldsAlike(U'\u13A0'));
    EXPECT_FALSE(SqliteSearchIndex::FoldsAlike(U'\uAB70'));
}

} // namespace
