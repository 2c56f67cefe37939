// A model-based random test of the contact table cursor on a real database,
// a file and a server alike: random sequences of cursor operations, with
// another program changing, adding and deleting rows between them, checked
// after every step against a small in-memory model of what the database and
// the cursor must hold. Both engines meet the same model.
//
// CORVANA_CURSOR_MODEL_STEPS sets the number of steps (default 3000) and
// CORVANA_CURSOR_MODEL_SEED the first seed; scripts/cursor-model.sh runs a
// long session. A failure prints the seed and the shortest failing sequence.

#include "SqliteTestSupport.h"
#include "data/DBConnection.h"
#include "data/TableCursor.h"
#include "support/PgRawConnection.h"
#include "support/TempDatabase.h"
#include "support/TempPgServer.h"

#include <QByteArray>
#include <array>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace {

constexpr int kTracked = 5;
const char *const kColumns[kTracked] = {"CompanyName", "Phone", "Fax", "City", "CallbackDate"};
const int kSizes[kTracked] = {100, 30, 30, 50, 0};
constexpr int kDateColumn = 4;
constexpr int kStartRows = 6;

using Row = std::array<TValue, kTracked>;

const QString &BadBytesText() {
    static const QString text = QString::fromUtf8(QByteArray("Bad\xff", 4));
    return text;
}

// What the cursor's user types, and what the other program writes (as SQL).
const QString kUserTexts[] = {"",
                              "Acme",
                              QString::fromUtf8("Zürich GmbH"),
                              "O'Brien \"x\"",
                              "555 0100",
                              QString(31, QChar('7'))};
const double kDates[] = {46000.25, 46001.5, 47000.75};
constexpr int kOtherTextCount = 5;

bool Same(const TValue &a, const TValue &b) {
    if (ValueIsNull(a) || ValueIsNull(b))
        return ValueIsNull(a) && ValueIsNull(b);
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.typeId() == b.typeId() && a.toString() == b.toString();
    return a.toDouble() == b.toDouble();
}

std::string Text(const TValue &v) {
    if (ValueIsNull(v))
        return "NULL";
    if (v.typeId() == QMetaType::QString)
        return '"' + v.toString().toStdString() + '"';
    return QString::number(v.toDouble(), 'g', 17).toStdString();
}

enum class Kind {
    First,
    Last,
    Next,
    Prior,
    Insert,
    Edit,
    Assign,
    Post,
    Cancel,
    Delete,
    Locate,
    OtherChange,
    OtherInsert,
    OtherDelete
};
const char *const kKindNames[] = {"First",  "Last",        "Next",        "Prior",      "Insert",
                                  "Edit",   "Assign",      "Post",        "Cancel",     "Delete",
                                  "Locate", "OtherChange", "OtherInsert", "OtherDelete"};

// Parameters are picks, read modulo what exists when the step runs, so that
// any subsequence of a sequence is still a valid sequence.
struct Op {
    Kind kind;
    unsigned a = 0, b = 0, c = 0;
};

std::string Describe(const Op &op) {
    std::ostringstream out;
    out << kKindNames[int(op.kind)] << "(" << op.a << "," << op.b << "," << op.c << ")";
    return out.str();
}

std::vector<Op> Generate(unsigned seed, int steps) {
    static const std::pair<Kind, int> kWeights[] = {
        {Kind::First, 3},       {Kind::Last, 3},       {Kind::Next, 10},   {Kind::Prior, 8},
        {Kind::Insert, 4},      {Kind::Edit, 10},      {Kind::Assign, 22}, {Kind::Post, 10},
        {Kind::Cancel, 4},      {Kind::Delete, 5},     {Kind::Locate, 5},  {Kind::OtherChange, 12},
        {Kind::OtherInsert, 3}, {Kind::OtherDelete, 3}};
    int total = 0;
    for (const auto &w : kWeights)
        total += w.second;
    std::mt19937 random(seed);
    std::vector<Op> ops;
    for (int i = 0; i < steps; ++i) {
        int pick = int(random() % unsigned(total));
        Kind kind = Kind::First;
        for (const auto &w : kWeights) {
            if (pick < w.second) {
                kind = w.first;
                break;
            }
            pick -= w.second;
        }
        ops.push_back({kind, unsigned(random()), unsigned(random()), unsigned(random())});
    }
    return ops;
}

// The expected outcome of an operation.
enum class Outcome { Ok, NotEditing, Empty, Conflict, Deleted, Refused };

class Model {
public:
    std::map<qint64, Row> db;
    qint64 maxId = 0;
    TCursorState state = stBrowse;
    std::optional<qint64> cur; // the current row; in stInsert the row inserted before
    bool eof = false, bof = true;
    Row base;                       // the current row as the cursor read it
    std::map<int, TValue> assigned; // stEdit: the user's values
    Row inserted;                   // stInsert: the new row
    bool modified = false;

    Row Shown() const {
        if (state == stInsert)
            return inserted;
        Row row = base;
        for (const auto &a : assigned)
            row[size_t(a.first)] = a.second;
        return row;
    }
    bool TooLong(const Row &row, bool onlyAssigned) const {
        for (int c = 0; c < kTracked; ++c) {
            if (onlyAssigned && !assigned.count(c))
                continue;
            if (kSizes[c] && !ValueIsNull(row[size_t(c)]) &&
                row[size_t(c)].toString().size() > kSizes[c])
                return true;
        }
        return false;
    }
    // The row a re-read around `id` makes current: it, else the next, else
    // the previous, else none; without an id the first row.
    void ReadAround(std::optional<qint64> id) {
        cur.reset();
        if (!id) {
            if (!db.empty())
                cur = db.begin()->first;
        } else if (db.count(*id)) {
            cur = id;
        } else if (auto next = db.upper_bound(*id); next != db.end()) {
            cur = next->first;
        } else if (next != db.begin()) {
            cur = std::prev(next)->first;
        }
        Fresh();
        eof = bof = !cur;
    }
    void Fresh() {
        assigned.clear();
        base = cur ? db[*cur] : Row();
    }
    Outcome Post() {
        if (state == stBrowse)
            return Outcome::NotEditing;
        if (state == stInsert) {
            if (TooLong(inserted, false))
                return Outcome::Refused;
            db[++maxId] = inserted;
            state = stBrowse;
            ReadAround(maxId);
            return Outcome::Ok;
        }
        if (!assigned.empty()) {
            if (!db.count(*cur))
                return Outcome::Deleted;
            for (const auto &a : assigned) {
                if (!Same(db[*cur][size_t(a.first)], base[size_t(a.first)])) {
                    base = db[*cur]; // the stored row is shown; a second Post succeeds
                    return Outcome::Conflict;
                }
            }
            if (TooLong(Shown(), true))
                return Outcome::Refused;
            for (const auto &a : assigned) // only what was assigned is written
                db[*cur][size_t(a.first)] = a.second;
        }
        state = stBrowse;
        ReadAround(cur);
        return Outcome::Ok;
    }
    void Cancel() {
        if (state == stBrowse)
            return;
        state = stBrowse;
        ReadAround(cur);
    }
    Outcome EnsureBrowse() {
        if (state == stBrowse)
            return Outcome::Ok;
        if (modified)
            return Post();
        Cancel();
        return Outcome::Ok;
    }
    Outcome Delete() {
        if (state == stInsert) {
            Cancel();
            return Outcome::Ok;
        }
        if (!cur)
            return Outcome::Empty;
        if (!db.count(*cur))
            return Outcome::Deleted;
        if (!std::equal(base.begin(), base.end(), db[*cur].begin(), Same)) {
            base = db[*cur];
            return Outcome::Conflict;
        }
        db.erase(*cur);
        state = stBrowse;
        ReadAround(cur);
        return Outcome::Ok;
    }
    Outcome Move(bool forward) {
        if (Outcome o = EnsureBrowse(); o != Outcome::Ok)
            return o;
        if (forward ? eof : bof)
            return Outcome::Ok;
        eof = bof = false;
        std::optional<qint64> to;
        if (forward) {
            if (auto next = db.upper_bound(*cur); next != db.end())
                to = next->first;
        } else if (auto at = db.lower_bound(*cur); at != db.begin()) {
            to = std::prev(at)->first;
        }
        if (to) {
            cur = to;
            Fresh();
        } else {
            (forward ? eof : bof) = true;
        }
        return Outcome::Ok;
    }
    Outcome End(bool last) {
        if (Outcome o = EnsureBrowse(); o != Outcome::Ok)
            return o;
        cur.reset();
        if (!db.empty())
            cur = last ? db.rbegin()->first : db.begin()->first;
        Fresh();
        eof = last || !cur;
        bof = !last || !cur;
        return Outcome::Ok;
    }
};

// Another program on a new database of the engine, started with kStartRows
// contacts: it writes with SQL texts whose names are quoted and reads rows
// back as the engine stores them.
class OtherProgram {
public:
    static std::unique_ptr<OtherProgram> On(const QString &engine);
    virtual ~OtherProgram() = default;
    virtual QString ConnectionString() const = 0;
    virtual void Exec(const QString &sql) = 0;
    virtual QVector<QVector<TValue>> Rows(const QString &sql) = 0;
    // The i-th text the other program writes (as SQL) and what it stores.
    virtual QString TextSql(int i) const {
        static const char *const kTexts[] = {"NULL", "'Theirs'", "''", "'Straße'", "'Ünïcode ÄÖ'"};
        return QString::fromUtf8(kTexts[i]);
    }
    virtual TValue TextValue(int i) const {
        static const char *const kValues[] = {nullptr, "Theirs", "", "Straße", "Ünïcode ÄÖ"};
        return kValues[i] ? TValue(QString::fromUtf8(kValues[i])) : TValue();
    }
};

class OtherOnFile : public OtherProgram {
public:
    OtherOnFile() : db_(kStartRows), handle_(db_.Path()) {}
    QString ConnectionString() const override { return db_.ConnectionString(); }
    void Exec(const QString &sql) override { handle_.MustExec(sql); }
    QVector<QVector<TValue>> Rows(const QString &sql) override {
        QVector<QVector<TValue>> rows;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(handle_.Db(), sql.toUtf8().constData(), -1, &statement, nullptr) !=
            SQLITE_OK)
            throw EError(QString::fromUtf8(sqlite3_errmsg(handle_.Db())));
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QVector<TValue> row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const int type = sqlite3_column_type(statement, c);
                if (type == SQLITE_TEXT)
                    row << QString::fromUtf8(
                        reinterpret_cast<const char *>(sqlite3_column_text(statement, c)),
                        sqlite3_column_bytes(statement, c));
                else if (type == SQLITE_INTEGER)
                    row << TValue(qint64(sqlite3_column_int64(statement, c)));
                else if (type != SQLITE_NULL)
                    row << sqlite3_column_double(statement, c);
                else
                    row << TValue();
            }
            rows << row;
        }
        sqlite3_finalize(statement);
        return rows;
    }
    // The file can hold text that is no valid UTF-8; the program must cope.
    QString TextSql(int i) const override {
        return i == 4 ? QStringLiteral("CAST(x'426164ff' AS TEXT)") : OtherProgram::TextSql(i);
    }
    TValue TextValue(int i) const override {
        return i == 4 ? TValue(BadBytesText()) : OtherProgram::TextValue(i);
    }

private:
    TempDatabase db_;
    sqlite_test::RawHandle handle_;
};

class OtherOnServer : public OtherProgram {
public:
    OtherOnServer() : conninfo_(TempPgServer::Shared().CreateDatabase()), connection_(conninfo_) {
        connection_.Exec(QStringLiteral("INSERT INTO \"Contacts\" (\"CompanyName\", \"Phone\", "
                                        "\"City\") SELECT 'Start ' || g, '0' || g, 'Town' FROM "
                                        "generate_series(1, %1) g")
                             .arg(kStartRows));
    }
    QString ConnectionString() const override { return TempPgServer::ConnectionString(conninfo_); }
    void Exec(const QString &sql) override { connection_.Exec(sql); }
    QVector<QVector<TValue>> Rows(const QString &sql) override { return connection_.Exec(sql); }

private:
    QString conninfo_;
    PgRawConnection connection_;
};

std::unique_ptr<OtherProgram> OtherProgram::On(const QString &engine) {
    if (engine == QLatin1String("PostgreSQL"))
        return std::make_unique<OtherOnServer>();
    return std::make_unique<OtherOnFile>();
}

// Runs a sequence on a new database; the failure of the first step that
// disagrees with the model, or an empty text.
class Run {
public:
    explicit Run(const QString &engine) : other(OtherProgram::On(engine)) {
        conn.SetConnectionString(other->ConnectionString());
        rs.SetConnection(&conn);
        rs.SetTableName("Contacts");
        rs.SetIndexName("ContactID");
        rs.SetCursorLocation(clUseServer);
        rs.Open();
        model.db = ReadFileRows();
        model.maxId = model.db.rbegin()->first;
        model.cur = model.db.begin()->first;
        model.Fresh();
        ReadAll();
    }

    std::string Step(const Op &op) {
        std::string error;
        expected_ = Outcome::Ok;
        try {
            Apply(op);
        } catch (const EError &e) {
            error = e.Message().toStdString();
        }
        if (op.kind < Kind::OtherChange) {
            if (std::string mismatch = CheckOutcome(expected_, error); !mismatch.empty())
                return mismatch;
        } else if (!error.empty()) {
            return "the other program failed: " + error;
        }
        ReadAll();
        return Compare();
    }

private:
    // Tells the model first (its expected outcome in expected_), then the
    // cursor, whose failures propagate.
    void Apply(const Op &op) {
        switch (op.kind) {
        case Kind::First:
        case Kind::Last:
            expected_ = model.End(op.kind == Kind::Last);
            op.kind == Kind::Last ? rs.Last() : rs.First();
            return;
        case Kind::Next:
        case Kind::Prior:
            expected_ = model.Move(op.kind == Kind::Next);
            op.kind == Kind::Next ? rs.Next() : rs.Prior();
            return;
        case Kind::Insert:
            expected_ = model.EnsureBrowse();
            if (expected_ == Outcome::Ok) {
                model.state = stInsert;
                model.inserted = Row();
                model.modified = false;
            }
            rs.Insert();
            return;
        case Kind::Edit:
            expected_ = Outcome::Ok;
            if (model.state == stBrowse && !model.cur) {
                model.state = stInsert;
                model.inserted = Row();
                model.modified = false;
            } else if (model.state == stBrowse) {
                model.state = stEdit;
                model.assigned.clear();
                model.modified = false;
            }
            rs.Edit();
            return;
        case Kind::Assign:
            Assign(int(op.a % kTracked), op.b);
            return;
        case Kind::Post:
            expected_ = model.Post();
            rs.Post();
            return;
        case Kind::Cancel:
            model.Cancel();
            rs.Cancel();
            return;
        case Kind::Delete:
            expected_ = model.Delete();
            rs.Delete();
            return;
        case Kind::Locate: {
            // Mostly a row that exists, sometimes one that does not.
            const qint64 id = op.b % 4 == 0 ? model.maxId + 1 + op.a % 3 : PickRow(op.a, false);
            expected_ = model.EnsureBrowse();
            const bool found = expected_ == Outcome::Ok && model.db.count(id);
            if (found) {
                model.cur = id;
                model.Fresh();
                model.eof = model.bof = false;
            }
            if (rs.Locate("ContactID", TValue(id)) != found)
                throw EError(QStringLiteral("Locate(%1) answered %2").arg(id).arg(!found));
            return;
        }
        case Kind::OtherChange:
            OtherChange(PickRow(op.a, true), int(op.b % kTracked), op.c);
            return;
        case Kind::OtherInsert:
            model.maxId = other
                              ->Rows(QStringLiteral("INSERT INTO \"Contacts\" (\"CompanyName\", "
                                                    "\"Phone\") VALUES ('New %1', '0%1') "
                                                    "RETURNING \"ContactID\"")
                                         .arg(op.a % 1000))
                              .at(0)
                              .at(0)
                              .toLongLong();
            model.db[model.maxId] = Row{QStringLiteral("New %1").arg(op.a % 1000),
                                        QStringLiteral("0%1").arg(op.a % 1000)};
            return;
        case Kind::OtherDelete:
            if (const qint64 id = PickRow(op.a, true); model.db.count(id)) {
                other->Exec(
                    QStringLiteral("DELETE FROM \"Contacts\" WHERE \"ContactID\" = %1").arg(id));
                model.db.erase(id);
            }
            return;
        }
        return;
    }

    void Assign(int column, unsigned pick) {
        TValue value;
        if (column == kDateColumn) {
            if (pick % 4)
                value = kDates[pick % 3];
        } else {
            const QString &text = kUserTexts[pick % std::size(kUserTexts)];
            if (!text.isEmpty())
                value = text; // an empty text assigns null
        }
        expected_ = Outcome::NotEditing;
        if (model.state == stInsert) {
            model.inserted[size_t(column)] = value;
            model.modified = true;
            expected_ = Outcome::Ok;
        } else if (model.state == stEdit) {
            model.assigned[column] = value;
            model.modified = true;
            expected_ = Outcome::Ok;
        }
        TField *field = rs.FieldNamed(kColumns[column]);
        if (column == kDateColumn && !ValueIsNull(value))
            field->SetDateTimeValue(value.toDouble());
        else
            field->SetTextValue(ValueIsNull(value) ? QString() : value.toString());
    }

    void OtherChange(qint64 id, int column, unsigned pick) {
        QString sql;
        TValue value;
        if (column == kDateColumn) {
            value = pick % 4 ? TValue(kDates[pick % 3] + 0.125) : TValue();
            sql = ValueIsNull(value) ? QStringLiteral("NULL")
                                     : QString::number(value.toDouble(), 'g', 17);
        } else {
            const int i = int(pick % kOtherTextCount);
            sql = other->TextSql(i);
            value = other->TextValue(i);
        }
        other->Exec(QStringLiteral("UPDATE \"Contacts\" SET \"%1\" = %2 WHERE \"ContactID\" = %3")
                        .arg(QLatin1String(kColumns[column]), sql)
                        .arg(id));
        if (model.db.count(id))
            model.db[id][size_t(column)] = value;
    }

    // A stored row: often the cursor's own when `preferCurrent`.
    qint64 PickRow(unsigned pick, bool preferCurrent) {
        if (model.db.empty())
            return model.maxId + 1;
        if (preferCurrent && pick % 2 == 0 && model.cur && model.db.count(*model.cur))
            return *model.cur;
        auto it = model.db.begin();
        std::advance(it, long(pick / 2 % model.db.size()));
        return it->first;
    }

    std::string CheckOutcome(Outcome expected, const std::string &error) {
        auto has = [&](const char *text) { return error.find(text) != std::string::npos; };
        switch (expected) {
        case Outcome::Ok:
            return error.empty() ? "" : "unexpected failure: " + error;
        case Outcome::NotEditing:
            return has("not in edit or insert mode") ? "" : "expected 'not editing', got: " + error;
        case Outcome::Empty:
            return has("empty dataset") ? "" : "expected 'empty', got: " + error;
        case Outcome::Conflict:
            return has("changed by another program")
                       ? ""
                       : "expected a conflict, got: " + (error.empty() ? "no error" : error);
        case Outcome::Deleted:
            return has("deleted by another program")
                       ? ""
                       : "expected 'deleted', got: " + (error.empty() ? "no error" : error);
        case Outcome::Refused:
            return error.empty() ? "expected a refusal, got none" : "";
        }
        return "";
    }

    // Reads every field of the current row, as the editor shows them.
    void ReadAll() {
        for (int i = 0; i < rs.FieldCount(); ++i)
            rs.Fields(i)->Value();
    }

    std::map<qint64, Row> ReadFileRows() {
        std::map<qint64, Row> rows;
        for (const QVector<TValue> &stored :
             other->Rows(QStringLiteral("SELECT \"ContactID\", \"CompanyName\", \"Phone\", "
                                        "\"Fax\", \"City\", \"CallbackDate\" FROM \"Contacts\""))) {
            Row row;
            for (int c = 0; c < kTracked; ++c)
                row[size_t(c)] = stored.at(c + 1);
            rows[stored.at(0).toLongLong()] = row;
        }
        return rows;
    }

    std::string Compare() {
        std::ostringstream out;
        const std::map<qint64, Row> stored = ReadFileRows();
        if (stored.size() != model.db.size())
            out << "the file holds " << stored.size() << " rows, the model " << model.db.size()
                << "; ";
        for (const auto &[id, row] : model.db) {
            auto it = stored.find(id);
            if (it == stored.end()) {
                out << "row " << id << " is missing; ";
                continue;
            }
            for (int c = 0; c < kTracked; ++c)
                if (!Same(it->second[size_t(c)], row[size_t(c)]))
                    out << "row " << id << "." << kColumns[c] << " is "
                        << Text(it->second[size_t(c)]) << ", expected " << Text(row[size_t(c)])
                        << "; ";
        }
        if (rs.State() != model.state)
            out << "state " << rs.State() << ", expected " << model.state << "; ";
        if (rs.Eof() != model.eof || rs.Bof() != model.bof)
            out << "Eof/Bof " << rs.Eof() << "/" << rs.Bof() << ", expected " << model.eof << "/"
                << model.bof << "; ";
        const TValue id = rs.FieldNamed("ContactID")->Value();
        const std::optional<qint64> shownId =
            ValueIsNull(id) ? std::nullopt : std::optional<qint64>(id.toLongLong());
        const std::optional<qint64> expectedId = model.state == stInsert ? std::nullopt : model.cur;
        if (shownId != expectedId)
            out << "current row " << (shownId ? *shownId : -1) << ", expected "
                << (expectedId ? *expectedId : -1) << "; ";
        const Row shown = model.Shown();
        for (int c = 0; c < kTracked; ++c) {
            const TValue value = rs.FieldNamed(kColumns[c])->Value();
            if (!Same(value, shown[size_t(c)]))
                out << "shown " << kColumns[c] << " is " << Text(value) << ", expected "
                    << Text(shown[size_t(c)]) << "; ";
        }
        return out.str();
    }

    std::unique_ptr<OtherProgram> other;
    TDBConnection conn{"connDB"};
    TTableCursor rs{"rsContacts"};
    Model model;
    Outcome expected_ = Outcome::Ok;
};

// The index of the first failing step and its message; -1 when all agree.
std::pair<int, std::string> Replay(const QString &engine, const std::vector<Op> &ops) {
    Run run(engine);
    for (size_t i = 0; i < ops.size(); ++i) {
        std::string failure = run.Step(ops[i]);
        if (!failure.empty())
            return {int(i), failure};
    }
    return {-1, ""};
}

// Removes steps while the sequence still fails, halving the chunk size.
std::vector<Op> Shrink(const QString &engine, std::vector<Op> ops) {
    for (size_t chunk = ops.size() / 2; chunk >= 1; chunk /= 2) {
        for (size_t start = 0; start + chunk <= ops.size();) {
            std::vector<Op> shorter(ops.begin(), ops.begin() + long(start));
            shorter.insert(shorter.end(), ops.begin() + long(start + chunk), ops.end());
            if (Replay(engine, shorter).first >= 0)
                ops = shorter;
            else
                start += chunk;
        }
    }
    return ops;
}

int EnvInt(const char *name, int fallback) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const int parsed = value.toInt(&ok);
    return ok ? parsed : fallback;
}

class CursorModel : public ::testing::TestWithParam<const char *> {};

TEST_P(CursorModel, RandomOperationsAgreeWithTheModel) {
    const QString engine = QString::fromLatin1(GetParam());
    constexpr int kRunLength = 150;
    const int steps = EnvInt("CORVANA_CURSOR_MODEL_STEPS", 3000);
    const unsigned firstSeed = unsigned(EnvInt("CORVANA_CURSOR_MODEL_SEED", 20261209));
    for (int done = 0, run = 0; done < steps; done += kRunLength, ++run) {
        const unsigned seed = firstSeed + unsigned(run);
        std::vector<Op> ops = Generate(seed, std::min(kRunLength, steps - done));
        auto [index, failure] = Replay(engine, ops);
        if (index < 0)
            continue;
        ops.resize(size_t(index) + 1);
        ops = Shrink(engine, ops);
        const auto shortest = Replay(engine, ops);
        std::ostringstream sequence;
        for (const Op &op : ops)
            sequence << "  " << Describe(op) << "\n";
        FAIL() << GetParam() << ": seed " << seed << " (CORVANA_CURSOR_MODEL_SEED=" << seed
               << " CORVANA_CURSOR_MODEL_STEPS=" << kRunLength << "), step " << index << ": "
               << failure << "\nshortest sequence (" << ops.size()
               << " steps, fails with: " << shortest.second << "):\n"
               << sequence.str();
    }
}

INSTANTIATE_TEST_SUITE_P(BothEngines, CursorModel, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param);
                         });

} // namespace
