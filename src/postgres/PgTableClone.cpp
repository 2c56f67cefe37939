#include "postgres/PgTableClone.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"
#include "postgres/PgRowWriter.h"
#include "postgres/PgTableInfo.h"
#include "postgres/PgTableOrder.h"

namespace {

// Rows read per statement while scanning.
constexpr int kScanBatch = 500;

enum class Kind { Text, Integer, Number, Other };

Kind KindOf(int code) {
    using namespace ColumnType;
    switch (code) {
    case VarWChar:
    case LongVarWChar:
    case WideString:
    case VarChar:
    case LongVarChar:
    case Char:
    case WideChar:
        return Kind::Text;
    case SmallInt:
    case Integer:
    case BigInt:
    case TinyInt:
    case UnsignedTinyInt:
    case UnsignedSmallInt:
    case UnsignedInt:
    case UnsignedBigInt:
        return Kind::Integer;
    case Single:
    case Double:
    case Date:
    case Currency:
    case Numeric:
    case Decimal:
        return Kind::Number;
    default:
        return Kind::Other;
    }
}

QString TextOf(const TValue &value) {
    return value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                   : value.toString();
}

// A key whose every character is ASCII and no other character folds to:
// then a stored text matches it under TextFold exactly when it does with
// ASCII letters folded alone.
bool FoldsAsAscii(const QString &key) {
    for (const QChar c : key) {
        if (c.unicode() >= 0x80 || TextFold::ReachedFromWide(c.unicode()))
            return false;
    }
    return true;
}

QString AsciiLower(const QString &text) {
    QString lower = text;
    for (QChar &c : lower) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    }
    return lower;
}

qsizetype CodePoints(const QString &text) {
    return text.toUcs4().size();
}

} // namespace

PgTableClone::PgTableClone(std::shared_ptr<PgConnection> connection,
                           std::shared_ptr<const PgTableInfo> table,
                           std::shared_ptr<const PgTableOrder> order)
    : connection_(std::move(connection)), table_(std::move(table)), order_(std::move(order)) {}

std::optional<TBookmark> PgTableClone::FindFirst(const QString &columnName, const TValue &value,
                                                 const TLocateOptions &options) {
    const int index = table_->ColumnIndex(columnName);
    if (index < 0)
        throw EProviderError(
            QStringLiteral("The table '%1' has no column '%2'.").arg(table_->Name(), columnName));
    const PgTableColumns::Column &column = table_->Table().columns[index];
    const QString quoted = PgRowWriter::Quote(column.name);
    const Kind kind = KindOf(column.info.typeCode);
    if (ValueIsNull(value))
        return First(quoted + QStringLiteral(" IS NULL"), {});

    if (options.None()) {
        if (kind == Kind::Text)
            return First(quoted + QStringLiteral(" = $1"), {TextOf(value)});
        if ((kind == Kind::Integer || kind == Kind::Number) &&
            (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray)) {
            // A text equals a number only when it reads as that number.
            const QString text = TextOf(value).trimmed();
            bool ok = false;
            const qint64 whole = text.toLongLong(&ok);
            if (ok)
                return First(quoted + QStringLiteral(" = $1"), {whole});
            const double real = text.toDouble(&ok);
            if (!ok)
                return std::nullopt;
            return First(quoted + QStringLiteral(" = $1"), {real});
        }
        if (kind == Kind::Other)
            return First(quoted + QStringLiteral(" = $1"), {TextOf(value)});
        return First(quoted + QStringLiteral(" = $1"), {value});
    }

    // Compared as texts: the stored text as the program reads it.
    const QString key = TextOf(value);
    if (kind == Kind::Text || kind == Kind::Integer) {
        const QString text = kind == Kind::Text ? quoted : quoted + QStringLiteral("::text");
        if (!options.caseInsensitive)
            return First(QStringLiteral("starts_with(%1, $1)").arg(text), {key});
        if (FoldsAsAscii(key)) {
            const QString folded = QStringLiteral("translate(%1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', "
                                                  "'abcdefghijklmnopqrstuvwxyz')")
                                       .arg(text);
            return First(options.partialKey ? QStringLiteral("starts_with(%1, $1)").arg(folded)
                                            : folded + QStringLiteral(" = $1"),
                         {AsciiLower(key)});
        }
        // Only texts of as many characters (or, for a prefix, at least as
        // many) can match, as the comparison goes character by character.
        return Scan(quoted,
                    QStringLiteral("length(%1) %2 %3")
                        .arg(text, options.partialKey ? QStringLiteral(">=") : QStringLiteral("="))
                        .arg(CodePoints(key)),
                    value, options);
    }
    return Scan(quoted, quoted + QStringLiteral(" IS NOT NULL"), value, options);
}

std::optional<TBookmark> PgTableClone::First(const QString &condition,
                                             const QVector<TValue> &params) {
    const PgResult found = connection_->Exec(order_->EndSql(false, 1, {}, condition), params);
    if (found.Rows() == 0)
        return std::nullopt;
    return found.Value(0, 0).toLongLong();
}

std::optional<TBookmark> PgTableClone::Scan(const QString &column, const QString &filter,
                                            const TValue &value, const TLocateOptions &options) {
    const int count = order_->KeyCount();
    const int valueColumn = count + 1;
    PgResult batch = connection_->Exec(order_->EndSql(false, kScanBatch, {column}, filter));
    while (true) {
        for (int row = 0; row < batch.Rows(); ++row) {
            if (LocateTextMatches(batch.Value(row, valueColumn), value, options))
                return batch.Value(row, 0).toLongLong();
        }
        if (batch.Rows() < kScanBatch)
            return std::nullopt;
        // Goes on after the last row read, by its place in the order.
        const int last = batch.Rows() - 1;
        QVector<TValue> place;
        QVector<bool> nullKeys;
        for (int i = 0; i < count; ++i) {
            place << batch.Value(last, i + 1);
            nullKeys << ValueIsNull(place.last());
        }
        place << batch.Value(last, 0);
        QVector<int> binds;
        const QString sql = order_->StepSql(true, nullKeys, &binds, kScanBatch, {column}, filter);
        QVector<TValue> params;
        for (int position : std::as_const(binds))
            params << place[position];
        batch = connection_->Exec(sql, params);
    }
}
