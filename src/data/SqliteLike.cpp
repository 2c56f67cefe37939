#include "data/SqliteLike.h"

#include "data/SqliteError.h"
#include "data/TextFold.h"

#include <cstring>
#include <sqlite3.h>

namespace {

using Byte = unsigned char;

// The value bits of a UTF-8 lead byte from 0xC0 up, as the engine takes them.
const Byte kLeadBits[64] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x00, 0x01, 0x02, 0x03, 0x00, 0x01, 0x00, 0x00,
};

// Reads one character and moves past it, the way the engine's own LIKE
// does, so both see the same characters in malformed text: a lead byte
// takes every continuation byte after it, and an overlong form, a surrogate
// or U+FFFE/U+FFFF becomes U+FFFD; a stray continuation byte stands alone.
inline char32_t Read(const Byte *&p, const Byte *end) {
    char32_t c = *p++;
    if (c >= 0xC0) {
        c = kLeadBits[c - 0xC0];
        while (p < end && (*p & 0xC0) == 0x80)
            c = (c << 6) + (*p++ & 0x3F);
        if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE)
            c = 0xFFFD;
    }
    return c;
}

const Byte *EndOf(const char *text, std::size_t bytes) {
    const auto *begin = reinterpret_cast<const Byte *>(text);
    const void *nul = bytes ? std::memchr(begin, 0, bytes) : nullptr;
    return nul ? static_cast<const Byte *>(nul) : begin + bytes;
}

// One element of a LIKE pattern.
struct Element {
    enum Kind { End, AnyRun, AnyOne, Char, Dangling } kind;
    char32_t c;       // the character of a Char
    const Byte *next; // the pattern after the element
};

class Pattern {
public:
    Pattern(const Byte *end, char32_t escape)
        : end_(end), escape_(escape), anyRun_(escape == '%' ? 0 : '%'),
          anyOne_(escape == '_' ? 0 : '_') {}

    Element At(const Byte *p) const {
        if (p >= end_)
            return {Element::End, 0, p};
        char32_t c = Read(p, end_);
        if (c == anyRun_)
            return {Element::AnyRun, c, p};
        if (escape_ != 0 && c == escape_) {
            if (p >= end_)
                return {Element::Dangling, 0, p};
            c = Read(p, end_);
            return {Element::Char, c, p};
        }
        if (c == anyOne_)
            return {Element::AnyOne, c, p};
        return {Element::Char, c, p};
    }

private:
    const Byte *end_;
    char32_t escape_;
    char32_t anyRun_;
    char32_t anyOne_;
};

// A character to look for in a text after "%", prepared once per pattern
// element rather than once per place tried.
struct Needle {
    Needle() = default;
    explicit Needle(char32_t c)
        : folded(TextFold::Fold(c)), bytewise(c < 0x80 && !TextFold::ReachedFromWide(c)),
          lower(Byte(folded)),
          upper(folded >= 'a' && folded <= 'z' ? Byte(folded - 32) : Byte(folded)) {}

    char32_t folded = 0;
    // ASCII characters that no wider character folds to are looked for byte
    // by byte, since no byte of a longer sequence can equal them.
    bool bytewise = false;
    Byte lower = 0;
    Byte upper = 0;
};

// The first character at or after `t` that equals the needle: where it
// starts, or null when there is none.
const Byte *Find(const Needle &needle, const Byte *t, const Byte *end) {
    if (needle.bytewise) {
        if (needle.lower == needle.upper)
            return static_cast<const Byte *>(std::memchr(t, needle.lower, std::size_t(end - t)));
        for (; t < end; ++t) {
            if (*t == needle.lower || *t == needle.upper)
                return t;
        }
        return nullptr;
    }
    while (t < end) {
        if (*t < 0x80) {
            if (TextFold::Fold(*t) == needle.folded)
                return t;
            ++t;
            continue;
        }
        const Byte *start = t;
        if (TextFold::Fold(Read(t, end)) == needle.folded)
            return start;
    }
    return nullptr;
}

bool Match(const Byte *p, const Byte *pEnd, const Byte *t, const Byte *tEnd, char32_t escape) {
    const Pattern pattern(pEnd, escape);
    // The pattern after the last "%" met, the character it begins with, and
    // where in the text that character was last found. A mismatch later on
    // tries that character's next place in the text; with "%" and "_" as the
    // only wildcards no earlier "%" can do better.
    const Byte *runPattern = nullptr;
    Needle runChar;
    const Byte *runText = nullptr;
    for (;;) {
        Element e = pattern.At(p);
        if (e.kind == Element::AnyRun) {
            // "%_" is "_%": the characters of "_" are taken at once.
            do {
                if (e.kind == Element::AnyOne) {
                    if (t >= tEnd)
                        return false;
                    Read(t, tEnd);
                }
                p = e.next;
                e = pattern.At(p);
            } while (e.kind == Element::AnyRun || e.kind == Element::AnyOne);
            if (e.kind == Element::End)
                return true;
            if (e.kind == Element::Dangling)
                return false;
            runPattern = p;
            runChar = Needle(e.c);
            runText = Find(runChar, t, tEnd);
            if (!runText)
                return false;
            t = runText;
            continue;
        }
        if (e.kind == Element::End && t >= tEnd)
            return true;
        if (e.kind != Element::End) {
            // With the text used up, a later start leaves even less of it.
            if (t >= tEnd || e.kind == Element::Dangling)
                return false;
            const char32_t c = Read(t, tEnd);
            if (e.kind == Element::AnyOne || TextFold::Same(e.c, c)) {
                p = e.next;
                continue;
            }
        }
        if (!runPattern)
            return false;
        Read(runText, tEnd);
        runText = Find(runChar, runText, tEnd);
        if (!runText)
            return false;
        p = runPattern;
        t = runText;
    }
}

// Counts characters the way the engine checks an escape: a lead byte and
// the continuation bytes after it are one character.
int CharacterCount(const Byte *z) {
    int count = 0;
    while (*z) {
        if (*z++ >= 0xC0) {
            while ((*z & 0xC0) == 0x80)
                ++z;
        }
        ++count;
    }
    return count;
}

void LikeFunction(sqlite3_context *context, int argc, sqlite3_value **argv) {
    const auto *pattern = sqlite3_value_text(argv[0]);
    const auto *text = sqlite3_value_text(argv[1]);
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    sqlite3 *db = sqlite3_context_db_handle(context);
    if (patternBytes > sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const Byte *escapeText = sqlite3_value_text(argv[2]);
        if (!escapeText)
            return;
        if (CharacterCount(escapeText) != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        const auto escapeBytes = std::size_t(sqlite3_value_bytes(argv[2]));
        escape = Read(escapeText, escapeText + escapeBytes);
    }
    if (!pattern || !text)
        return;
    const int textBytes = sqlite3_value_bytes(argv[1]);
    sqlite3_result_int(context, SqliteLike::Matches(reinterpret_cast<const char *>(pattern),
                                                    std::size_t(patternBytes),
                                                    reinterpret_cast<const char *>(text),
                                                    std::size_t(textBytes), escape)
                                    ? 1
                                    : 0);
}

} // namespace

void SqliteLike::Register(sqlite3 *db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (int arguments : {2, 3}) {
        const int rc = sqlite3_create_function_v2(db, "like", arguments, flags, nullptr,
                                                  LikeFunction, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            SqliteError::Throw(db, rc);
    }
}

bool SqliteLike::Matches(const char *pattern, std::size_t patternBytes, const char *text,
                         std::size_t textBytes, char32_t escape) {
    const Byte *p = reinterpret_cast<const Byte *>(pattern);
    const Byte *t = reinterpret_cast<const Byte *>(text);
    return Match(p, EndOf(pattern, patternBytes), t, EndOf(text, textBytes), escape);
}
