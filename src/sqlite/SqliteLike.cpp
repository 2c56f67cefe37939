#include "sqlite/SqliteLike.h"

#include "data/TextFold.h"
#include "sqlite/SqliteError.h"

#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

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
// The text ends at a NUL byte, which no continuation byte is.
inline char32_t Read(const Byte *&p) {
    char32_t c = *p++;
    if (c >= 0xC0) {
        c = kLeadBits[c - 0xC0];
        while ((*p & 0xC0) == 0x80)
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

// A character to look for in a text after "%", prepared once per pattern.
struct Needle {
    Needle() = default;
    explicit Needle(char32_t c)
        : folded(TextFold::Fold(c)), bytewise(c < 0x80 && !TextFold::ReachedFromWide(c)) {
        const Byte lower = Byte(folded);
        const Byte upper = folded >= 'a' && folded <= 'z' ? Byte(folded - 32) : lower;
        accept[0] = char(lower);
        accept[1] = upper == lower ? '\0' : char(upper);
    }

    char32_t folded = 0;
    // ASCII characters that no wider character folds to are looked for byte
    // by byte, since no byte of a longer sequence can equal them.
    bool bytewise = false;
    char accept[3] = {0, 0, 0}; // the byte in either case
};

// The first character at or after `t` that equals the needle: where it
// starts, or null when the text has none.
const Byte *Find(const Needle &needle, const Byte *t) {
    if (needle.bytewise) {
        const char *text = reinterpret_cast<const char *>(t);
        if (needle.accept[1] == 0)
            return reinterpret_cast<const Byte *>(std::strchr(text, needle.accept[0]));
        const char *hit = text + std::strcspn(text, needle.accept);
        return *hit ? reinterpret_cast<const Byte *>(hit) : nullptr;
    }
    while (*t) {
        if (*t < 0x80) {
            if (TextFold::Fold(*t) == needle.folded)
                return t;
            ++t;
            continue;
        }
        const Byte *start = t;
        if (TextFold::Fold(Read(t)) == needle.folded)
            return start;
    }
    return nullptr;
}

// A pattern read once into its elements, for every text it is tried on.
class CompiledPattern {
public:
    struct Element {
        enum Kind { AnyRun, AnyOne, Char, Dangling } kind;
        char32_t folded; // a Char's character, folded
        Needle needle;   // a Char's character as looked for after "%"
    };

    CompiledPattern(const Byte *p, const Byte *end, char32_t escape) : escape(escape) {
        const char32_t anyRun = escape == '%' ? 0 : '%';
        const char32_t anyOne = escape == '_' ? 0 : '_';
        while (p < end && *p) {
            char32_t c = Read(p);
            if (c == anyRun) {
                elements_.push_back({Element::AnyRun, 0, Needle()});
            } else if (escape != 0 && c == escape) {
                if (p >= end || !*p) {
                    elements_.push_back({Element::Dangling, 0, Needle()});
                    break;
                }
                c = Read(p);
                elements_.push_back({Element::Char, TextFold::Fold(c), Needle(c)});
            } else if (c == anyOne) {
                elements_.push_back({Element::AnyOne, 0, Needle()});
            } else {
                elements_.push_back({Element::Char, TextFold::Fold(c), Needle(c)});
            }
        }
    }

    // Whether the NUL-terminated text matches.
    bool Matches(const Byte *t) const {
        const std::size_t n = elements_.size();
        std::size_t i = 0;
        // The pattern after the last "%" met, and where in the text its
        // first character was last found. A mismatch later on tries that
        // character's next place in the text; with "%" and "_" as the only
        // wildcards no earlier "%" can do better.
        std::size_t run = n;
        const Byte *runText = nullptr;
        for (;;) {
            if (i < n && elements_[i].kind == Element::AnyRun) {
                // "%_" is "_%": the characters of "_" are taken at once.
                do {
                    if (elements_[i].kind == Element::AnyOne) {
                        if (!*t)
                            return false;
                        Read(t);
                    }
                    ++i;
                } while (i < n && (elements_[i].kind == Element::AnyRun ||
                                   elements_[i].kind == Element::AnyOne));
                if (i == n)
                    return true;
                if (elements_[i].kind == Element::Dangling)
                    return false;
                run = i;
                runText = Find(elements_[i].needle, t);
                if (!runText)
                    return false;
                t = runText;
                continue;
            }
            if (i == n && !*t)
                return true;
            if (i < n) {
                // With the text used up, a later start leaves even less of it.
                const Element &e = elements_[i];
                if (!*t || e.kind == Element::Dangling)
                    return false;
                const char32_t c = Read(t);
                if (e.kind == Element::AnyOne || TextFold::Fold(c) == e.folded) {
                    ++i;
                    continue;
                }
            }
            if (run == n)
                return false;
            Read(runText);
            runText = Find(elements_[run].needle, runText);
            if (!runText)
                return false;
            i = run;
            t = runText;
        }
    }

    const char32_t escape;

private:
    std::vector<Element> elements_;
};

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

void DestroyPattern(void *pattern) {
    delete static_cast<CompiledPattern *>(pattern);
}

void LikeFunction(sqlite3_context *context, int argc, sqlite3_value **argv) {
    char32_t escape = 0;
    if (argc == 3) {
        const Byte *escapeText = sqlite3_value_text(argv[2]);
        if (!escapeText)
            return;
        if (CharacterCount(escapeText) != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        const Byte *at = escapeText;
        escape = Read(at);
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    // A pattern that stays the same for the whole statement (as the
    // program's always do) is read once and kept with the statement.
    const auto *kept = static_cast<const CompiledPattern *>(sqlite3_get_auxdata(context, 0));
    std::unique_ptr<CompiledPattern> local;
    if (!kept || kept->escape != escape) {
        const auto *pattern = sqlite3_value_text(argv[0]);
        const int patternBytes = sqlite3_value_bytes(argv[0]);
        sqlite3 *db = sqlite3_context_db_handle(context);
        if (patternBytes > sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
            sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
            return;
        }
        if (!pattern)
            return;
        const Byte *end = EndOf(reinterpret_cast<const char *>(pattern), std::size_t(patternBytes));
        sqlite3_set_auxdata(context, 0, new CompiledPattern(pattern, end, escape), DestroyPattern);
        kept = static_cast<const CompiledPattern *>(sqlite3_get_auxdata(context, 0));
        if (!kept) {
            // Not kept (a pattern that changes from row to row): used once.
            local = std::make_unique<CompiledPattern>(pattern, end, escape);
            kept = local.get();
        }
    }
    // The engine's texts end in a NUL byte, which ends the text for LIKE.
    const Byte *text = sqlite3_value_text(argv[1]);
    if (!text)
        return;
    sqlite3_result_int(context, kept->Matches(text) ? 1 : 0);
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
    const CompiledPattern compiled(reinterpret_cast<const Byte *>(pattern),
                                   EndOf(pattern, patternBytes), escape);
    // The matcher reads up to a NUL byte: a text without one is copied.
    if (EndOf(text, textBytes) < reinterpret_cast<const Byte *>(text) + textBytes)
        return compiled.Matches(reinterpret_cast<const Byte *>(text));
    const std::string copy(text, textBytes);
    return compiled.Matches(reinterpret_cast<const Byte *>(copy.c_str()));
}
