#include "postgres/PgStatement.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"

PgStatement::PgStatement(std::shared_ptr<PgConnection> connection, PgStatementText text)
    : connection_(std::move(connection)), text_(std::move(text)) {}

void PgStatement::Bind(int position, const TValue &value) {
    if (position < 1 || position > text_.positional)
        throw EProviderError(QStringLiteral("The statement has no parameter ?%1.").arg(position));
    if (bound_.size() < text_.positional)
        bound_.resize(text_.positional);
    bound_[position - 1] = value;
}

bool PgStatement::Step() {
    if (!ran_) {
        QVector<TValue> params = bound_;
        params.resize(text_.positional);
        params += text_.literals;
        for (const int index : text_.changes)
            params[text_.positional + index] = connection_->Changes();
        result_ = connection_->Exec(text_.sql, params);
        ran_ = true;
        row_ = -1;
    }
    if (row_ < result_.Rows())
        ++row_;
    return row_ < result_.Rows();
}

TValue PgStatement::Column(int index) const {
    if (!ran_ || row_ < 0 || row_ >= result_.Rows() || index < 0 || index >= result_.Columns())
        return TValue();
    return result_.Value(row_, index);
}

void PgStatement::Reset() {
    result_ = PgResult();
    ran_ = false;
    row_ = -1;
    bound_.clear();
}
