#include "data/TextFold.h"

#include <QChar>

namespace {

// Reads the code point at `i` and moves past it.
char32_t NextCodePoint(QStringView text, qsizetype &i) {
    const char16_t high = text[i].unicode();
    ++i;
    if (QChar::isHighSurrogate(high) && i < text.size() && text[i].isLowSurrogate())
        return QChar::surrogateToUcs4(high, text[i++].unicode());
    return high;
}

// Compares code point by code point up to the end of the shorter text; true
// when all were equal, with the positions where each text stopped.
bool SameUpTo(QStringView a, QStringView b, qsizetype &i, qsizetype &j) {
    i = 0;
    j = 0;
    while (i < a.size() && j < b.size()) {
        if (!TextFold::Same(NextCodePoint(a, i), NextCodePoint(b, j)))
            return false;
    }
    return true;
}

} // namespace

char32_t TextFold::WideFold(char32_t c) {
    return QChar::toLower(c);
}

bool TextFold::Equal(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    return SameUpTo(a, b, i, j) && i == a.size() && j == b.size();
}

bool TextFold::StartsWith(QStringView text, QStringView prefix) {
    qsizetype i = 0;
    qsizetype j = 0;
    return SameUpTo(text, prefix, i, j) && j == prefix.size();
}

std::array<bool, 128> TextFold::WideToAscii() {
    std::array<bool, 128> table{};
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        const char32_t lower = QChar::toLower(c);
        if (lower < 0x80)
            table[lower] = true;
    }
    return table;
}
