#include "ui/main/EditorCommands.h"

#include "data/DataSource.h"
#include "data/DateTimeValue.h"
#include "data/TableCursor.h"
#include "settings/GenFun.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/FocusChain.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QPushButton>
#include <QStyle>
#include <cmath>

namespace {
QFont BoldFont(const char *family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}
} // namespace

EditorCommands::EditorCommands(QWidget *panel, ContactEditor &editor, TTableCursor &rsContacts,
                               TDataSource &dsContacts, TOpener opener)
    : editor_(editor), rsContacts_(rsContacts), opener_(std::move(opener)) {
    if (!opener_)
        opener_ = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    BuildButtons(panel);
    BuildPickers(panel);
    rsContacts.AfterInsert = [this](TRecordCursor &) { rsContactsAfterInsert(); };
    dsContacts.OnDataChange = [this](TDataSource &, TField *field) { dsContactsDataChange(field); };
}

void EditorCommands::BuildButtons(QWidget *panel) {
    auto button = [&](const char *name, const QString &caption, int left, int width,
                      void (EditorCommands::*handler)()) {
        auto *b = new QPushButton(caption, panel);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 280, width, 25);
        QObject::connect(b, &QPushButton::clicked, panel, [this, handler] {
            TErrorBox::Guard([this, handler] { (this->*handler)(); });
        });
        return b;
    };
    btnNew = button("btnNew", QStringLiteral("New"), 105, 67, &EditorCommands::btnNewClick);
    btnNew->setFont(BoldFont("MS Sans Serif", 11));
    btnFirst = button("btnFirst", QStringLiteral("<<"), 182, 42, &EditorCommands::btnFirstClick);
    btnFirst->setFont(BoldFont("Microsoft Sans Serif", 13));
    btnPrev = button("btnPrev", QStringLiteral("<"), 225, 42, &EditorCommands::btnPrevClick);
    btnNext = button("btnNext", QStringLiteral(">"), 268, 42, &EditorCommands::btnNextClick);
    btnLast = button("btnLast", QStringLiteral(">>"), 311, 42, &EditorCommands::btnLastClick);
    for (QPushButton *b : {btnPrev, btnNext, btnLast})
        b->setFont(BoldFont("MS Sans Serif", 13));
    btnSave = button("btnSave", QStringLiteral("Save"), 497, 67, &EditorCommands::btnSaveClick);
    btnSave->setFont(BoldFont("MS Sans Serif", 11));
    btnCancel =
        button("btnCancel", QStringLiteral("Cancel"), 569, 75, &EditorCommands::btnCancelClick);
    btnCancel->setIcon(panel->style()->standardIcon(QStyle::SP_DialogCancelButton));
    btnDelete =
        button("btnDelete", QStringLiteral("&Delete"), 649, 81, &EditorCommands::btnDeleteClick);
    btnDelete->setIcon(panel->style()->standardIcon(QStyle::SP_DialogNoButton));
    btnMail = button("btnMail", QString(), 315, 23, &EditorCommands::btnMailClick);
    btnMail->setGeometry(315, 230, 23, 23);
    btnMail->setIcon(QIcon(QStringLiteral(":/glyphs/mail.png")));
    btnBrowse = button("btnBrowse", QString(), 315, 23, &EditorCommands::btnBrowseClick);
    btnBrowse->setGeometry(315, 254, 23, 23);
    btnBrowse->setIcon(QIcon(QStringLiteral(":/glyphs/browse.png")));
    // These are reached by the mouse only.
    for (QPushButton *b : {btnSave, btnCancel, btnDelete, btnMail, btnBrowse})
        b->setFocusPolicy(Qt::ClickFocus);
}

void EditorCommands::BuildPickers(QWidget *panel) {
    auto picker = [&](const char *name, TDateTimePicker::TDateTimeKind kind, QRect geometry,
                      void (EditorCommands::*handler)()) {
        auto *p = new TDateTimePicker(panel);
        p->setObjectName(QString::fromLatin1(name));
        p->SetKind(kind);
        p->setGeometry(geometry);
        p->OnChange = [this, handler](TDateTimePicker *) { (this->*handler)(); };
        FocusChain::LeaveOnTab(p);
        return p;
    };
    using P = TDateTimePicker;
    dateLastCall = picker("dateLastCall", P::dtkDate, QRect(574, 98, 97, 23),
                          &EditorCommands::dateLastCallChange);
    timeLastCall = picker("timeLastCall", P::dtkTime, QRect(670, 98, 68, 21),
                          &EditorCommands::dateLastCallChange);
    dateCallback = picker("dateCallback", P::dtkDate, QRect(574, 122, 97, 21),
                          &EditorCommands::dateCallbackChange);
    timeCallback = picker("timeCallback", P::dtkTime, QRect(670, 120, 68, 21),
                          &EditorCommands::dateCallbackChange);
}

void EditorCommands::btnNewClick() {
    rsContacts_.Insert();
    editor_.txtCompany->setFocus();
}

void EditorCommands::rsContactsAfterInsert() {
    const double now = DateTimeValue::FromDateTime(QDateTime::currentDateTime());
    rsContacts_.FieldNamed(QStringLiteral("CallBackDate"))->SetDateTimeValue(now);
    rsContacts_.FieldNamed(QStringLiteral("LastCallDate"))->SetDateTimeValue(now);
    rsContacts_.FieldNamed(QStringLiteral("CountryID"))
        ->SetIntegerValue(GenFun::GetDefaultCountryID());
    rsContacts_.FieldNamed(QStringLiteral("StatusID"))->SetIntegerValue(1);
}

void EditorCommands::btnSaveClick() {
    rsContacts_.EnsureBrowse();
}

void EditorCommands::btnCancelClick() {
    rsContacts_.Cancel();
}

void EditorCommands::btnDeleteClick() {
    // Past either end of the row source there is no stored row to delete:
    // a new row begun after the last contact is left for Cancel.
    if (const TRowSource *source = rsContacts_.RowSource())
        if (source->SourceEOF() || source->SourceBOF())
            return;
    if (deleter_)
        deleter_([this] { rsContacts_.Delete(); });
    else
        rsContacts_.Delete();
}

void EditorCommands::btnFirstClick() {
    rsContacts_.First();
}

void EditorCommands::btnPrevClick() {
    rsContacts_.Prior();
}

void EditorCommands::btnLastClick() {
    rsContacts_.Last();
}

void EditorCommands::btnNextClick() {
    rsContacts_.Next();
    if (rsContacts_.Eof())
        btnNewClick();
}

void EditorCommands::dsContactsDataChange(TField *) {
    if (!rsContacts_.Active())
        return;
    const double lastCall = rsContacts_.FieldNamed(QStringLiteral("LastCallDate"))->DateTimeValue();
    const double callback = rsContacts_.FieldNamed(QStringLiteral("CallbackDate"))->DateTimeValue();
    dateLastCall->SetDateTime(lastCall);
    timeLastCall->SetDateTime(lastCall);
    dateCallback->SetDate(callback);
    timeCallback->SetTime(callback);
}

void EditorCommands::PostPickers(const TDateTimePicker *date, const TDateTimePicker *time,
                                 const char *field) {
    const QDate day = DateTimeValue::ToDate(date->Date());
    const QTime clock = DateTimeValue::ToTime(time->Time());
    const double value = DateTimeValue::FromDateTime(QDateTime(day, clock));
    rsContacts_.Edit();
    rsContacts_.FieldNamed(QString::fromLatin1(field))->SetDateTimeValue(value);
    rsContacts_.Post();
}

void EditorCommands::dateLastCallChange() {
    PostPickers(dateLastCall, timeLastCall, "LastCallDate");
}

void EditorCommands::dateCallbackChange() {
    PostPickers(dateCallback, timeCallback, "CallbackDate");
}

void EditorCommands::btnMailClick() {
    opener_(QUrl(QStringLiteral("mailto:") + editor_.txtEmail->text()));
}

void EditorCommands::btnBrowseClick() {
    // As the desktop's own "open" reads a typed address: "www.example.com"
    // opens in the browser.
    const QString text = editor_.txtUrl->text();
    if (!text.trimmed().isEmpty())
        opener_(QUrl::fromUserInput(text));
}
