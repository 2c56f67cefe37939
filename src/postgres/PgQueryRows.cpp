#include "postgres/PgQueryRows.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace {

PgQueryRows::Limits Checked(PgQueryRows::Limits limits) {
    limits.maxBatch = std::max(limits.maxBatch, 1);
    // Read once, a batch must fit the rows kept, or its first rows would go
    // before anyone read them.
    if (limits.store.readOnce)
        limits.maxBatch = std::min(limits.maxBatch, std::max(limits.store.windowRows / 2, 1));
    limits.firstBatch = std::clamp(limits.firstBatch, 1, limits.maxBatch);
    return limits;
}

} // namespace

PgQueryRows::PgQueryRows(std::shared_ptr<PgConnection> reader, QString cursorName,
                         const PgResult &first, int firstAsked, Limits limits)
    : reader_(std::move(reader)), limits_(Checked(limits)), store_(limits_.store),
      batch_(limits_.firstBatch) {
    fetchSql_ = QStringLiteral("FETCH FORWARD %1 FROM ") + cursorName;
    Take(first);
    if (first.Rows() < firstAsked)
        Finish(true);
}

PgQueryRows::PgQueryRows(const PgResult &whole, Limits limits)
    : limits_(Checked(limits)), store_(limits_.store) {
    finished_ = complete_ = true;
    Take(whole);
}

PgQueryRows::~PgQueryRows() {
    // The session is these rows' alone; ending the transaction first lets
    // the server know at once rather than when the session closes.
    if (reader_ && Reading()) {
        try {
            reader_->Exec(QStringLiteral("ROLLBACK"));
        } catch (const EProviderError &) {
        }
    }
}

bool PgQueryRows::Reading() const {
    return reader_ && !finished_ && reader_->InTransaction();
}

bool PgQueryRows::Reach(int index) {
    while (Count() <= index) {
        if (finished_) {
            if (!failure_.isEmpty())
                throw EProviderError(failure_);
            return false;
        }
        const qint64 missing = qint64(index) - Count() + 1;
        Fetch(int(std::min<qint64>(std::max<qint64>(batch_, missing), limits_.maxBatch)));
        batch_ = std::min(batch_ * 2, limits_.maxBatch);
    }
    return true;
}

void PgQueryRows::ReadAll() {
    while (!finished_)
        Fetch(limits_.maxBatch);
    if (!failure_.isEmpty())
        throw EProviderError(failure_);
}

void PgQueryRows::Fetch(int count) {
    PgResult result;
    try {
        result = reader_->Exec(fetchSql_.arg(count));
    } catch (const EProviderError &error) {
        failure_ = error.Message();
        Finish(false);
        throw;
    }
    const bool last = result.Rows() < count;
    std::optional<EProviderError> failed;
    try {
        Take(result);
    } catch (const EProviderError &error) {
        failed = error;
    }
    if (last)
        Finish(true);
    if (failed)
        throw *failed;
}

void PgQueryRows::Take(const PgResult &result) {
    const int rows = result.Rows();
    const int columns = result.Columns();
    std::optional<EProviderError> failed;
    for (int row = 0; row < rows; ++row) {
        QVector<TValue> values;
        values.reserve(columns);
        for (int column = 0; column < columns; ++column)
            values << result.Value(row, column);
        try {
            store_.Append(std::move(values));
        } catch (const EProviderError &error) {
            if (!failed)
                failed = error;
        }
        ++rowsRead_;
    }
    if (failed)
        throw *failed;
}

void PgQueryRows::Finish(bool complete) {
    finished_ = true;
    complete_ = complete;
    if (!reader_)
        return;
    // Committing closes the cursor; a session that failed is rolled back
    // (when it is still there at all). The session then goes: nothing more
    // is read on it.
    const bool open = reader_->InTransaction();
    try {
        if (open)
            reader_->Exec(complete ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
    } catch (const EProviderError &) {
        // The rows are all held; a session that cannot end its read-only
        // transaction ends it when it closes.
    }
    reader_.reset();
}
