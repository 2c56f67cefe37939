#pragma once

#include <QStringView>
#include <array>

// The program's case-insensitive comparison of characters: two characters
// are equal when their simple lowercase forms (one code point for one code
// point, as QChar::toLower gives them) are equal. It is the comparison of
// the engine's LIKE (see SqliteLike) and of Locate's case-insensitive option,
// so that both agree on every text.
//
// Simple lowercase is used rather than full case folding because it maps one
// code point to one, which keeps "_" matching exactly one character, and
// because the search index folds the same way for the characters it is
// trusted with (see SqliteSearchIndex::FoldsAlike).
class TextFold {
public:
    // The simple lowercase of a code point; code points outside Unicode are
    // returned as they are.
    static char32_t Fold(char32_t c) { return c < 0x80 ? AsciiFold(c) : WideFold(c); }
    static bool Same(char32_t a, char32_t b) { return a == b || Fold(a) == Fold(b); }

    // Whether two texts are equal, or `text` begins with `prefix`, under the
    // comparison above. Both are read as UTF-16 with surrogate pairs taken
    // as one code point; a lone surrogate stands for itself.
    static bool Equal(QStringView a, QStringView b);
    static bool StartsWith(QStringView text, QStringView prefix);

    // True when some code point outside ASCII is the same as the ASCII
    // character `c` under the comparison above (the Kelvin sign is "k").
    static bool ReachedFromWide(char32_t c) {
        static const std::array<bool, 128> reached = WideToAscii();
        return c < 0x80 && reached[AsciiFold(c)];
    }

private:
    static std::array<bool, 128> WideToAscii();
    static char32_t AsciiFold(char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
    static char32_t WideFold(char32_t c);
};
