#pragma once

#include <cstddef>

struct sqlite3;

// The engine's LIKE operator with the program's case-insensitive comparison
// of characters (TextFold) in place of the engine's, which ignores case for
// ASCII letters only. Everything else is the engine's LIKE:
//   "%" matches any run of characters, "_" exactly one character;
//   x LIKE p ESCAPE e takes the character after e literally; e must be one
//   character ("ESCAPE expression must be a single character" otherwise),
//   and when it is "%" or "_" that character is no wildcard any more; an
//   escape character at the end of the pattern matches nothing;
//   a null operand or escape gives null;
//   a pattern longer than the handle's LIKE pattern length limit fails with
//   "LIKE or GLOB pattern too complex";
//   texts end at their first NUL character; malformed UTF-8 is read as the
//   engine reads it.
class SqliteLike {
public:
    // Registers like(pattern, text) and like(pattern, text, escape) on the
    // handle, replacing the engine's own; EProviderError on failure.
    static void Register(sqlite3 *db);

    // Whether `text` matches `pattern`, both UTF-8 of the given byte length
    // (or up to a NUL byte before it). `escape` 0 means no escape character.
    static bool Matches(const char *pattern, std::size_t patternBytes, const char *text,
                        std::size_t textBytes, char32_t escape = 0);
};
