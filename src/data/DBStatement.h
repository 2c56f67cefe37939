#pragma once

#include "data/DataTypes.h"

// A statement run on the connection itself, outside any cursor: for work
// that goes over many rows at once (an import, its undo), where a cursor per
// row would be far too slow. The text is one statement in the program's SQL
// with positional parameters ?1, ?2, ...
//
// Failures of the engine are raised as EProviderError with a clear text.
class TDBStatement {
public:
    virtual ~TDBStatement() = default;
    // Binds a parameter (from 1): integers as integers, reals and date-time
    // values as reals, texts as texts, an invalid value as null.
    virtual void Bind(int position, const TValue &value) = 0;
    // Runs to the next result row: true when there is one, false when done.
    virtual bool Step() = 0;
    // A column (from 0) of the current result row; invalid for null.
    virtual TValue Column(int index) const = 0;
    // Ends the run and clears the bindings, ready to run again. Every user
    // resets a statement as soon as it has what it needs, since a statement
    // that has stepped keeps the rows it reads from being changed elsewhere.
    virtual void Reset() = 0;

    // Resets the statement when the block is left, also by an exception, so
    // its read transaction never outlives the work that needed it.
    class Scope {
    public:
        explicit Scope(TDBStatement &statement) : statement_(statement) {}
        ~Scope() { statement_.Reset(); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        TDBStatement &statement_;
    };
};
