#include "ui/main/ContactLists.h"

#include "data/DataSource.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "settings/GenFun.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TEdit.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/FocusChain.h"
#include "ui/main/ProgramFonts.h"

#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

struct TColumnEntry {
    const char *field;
    int width; // 0: the grid's default width
    bool visible;
};

const TColumnEntry kCallBackColumns[] = {
    {"ContactID", 0, false},   {"CompanyName", 150, true}, {"ContactPerson", 150, true},
    {"CallbackDate", 0, true}, {"Phone", 150, true},       {"Fax", 150, true},
    {"Mobile", 150, true},     {"Email", 150, true},       {"Url", 150, true},
};

const TColumnEntry kSearchColumns[] = {
    {"ContactID", 0, false}, {"CompanyName", 150, true}, {"ContactPerson", 150, true},
    {"City", 150, true},     {"Phone", 150, true},       {"Mobile", 150, true},
};

template <std::size_t N> void AddColumns(TDBGrid *grid, const TColumnEntry (&entries)[N]) {
    for (const TColumnEntry &entry : entries) {
        TColumn *column = grid->Columns().Add();
        column->SetFieldName(QString::fromLatin1(entry.field));
        if (entry.width > 0)
            column->SetWidth(entry.width);
        column->SetVisible(entry.visible);
    }
}

const char *const kSearchHeads[] = {
    "select * from Contacts where CompanyName like \"%",
    " or ContactPerson like \"%",
    " or City like \"%",
    " or State like \"%",
    " or PostCode like \"%",
    " or Phone like \"%",
    " or Mobile like \"%",
    " or Url like \"%",
    " or Address like \"%",
};

constexpr int kGridTop = 36;

} // namespace

ContactLists::ContactLists(QWidget *tabCallBacks, QWidget *tabSearch, TQueryCursor &qryCallBack,
                           TDataSource &dsCallback, TQueryCursor &qrySearch, TDataSource &dsSearch,
                           TGridHandler loadFromGrid)
    : qryCallBack_(qryCallBack), qrySearch_(qrySearch), loadFromGrid_(std::move(loadFromGrid)) {
    BuildCallBacks(tabCallBacks, dsCallback);
    BuildSearch(tabSearch, dsSearch);
}

QPushButton *ContactLists::Button(QWidget *tab, const char *name, const QString &caption,
                                  QRect geometry, void (ContactLists::*handler)()) {
    auto *button = new QPushButton(caption, tab);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { TErrorBox::Guard([this, handler] { (this->*handler)(); }); });
    return button;
}

TDBGrid *ContactLists::Grid(QWidget *tab, const char *name, TDataSource &source) {
    auto *grid = new TDBGrid(tab);
    grid->setObjectName(QString::fromLatin1(name));
    QFont title(QStringLiteral("MS Sans Serif"));
    title.setPixelSize(11);
    grid->SetTitleFont(title);
    grid->setGeometry(0, kGridTop, 745, 119);
    grid->SetDataSource(&source);
    // The grid keeps its distance to every edge of the tab page.
    tab->installEventFilter(this);
    return grid;
}

void ContactLists::BuildCallBacks(QWidget *tab, TDataSource &dsCallback) {
    btnLoadCallback = Button(tab, "btnLoadCallback", QStringLiteral("Load"), QRect(3, 2, 75, 25),
                             &ContactLists::btnLoadCallbackClick);
    btnLoadCallback->setIcon(tab->style()->standardIcon(QStyle::SP_BrowserReload));
    lblCallBackDate = new QLabel(QStringLiteral("Call Back Date"), tab);
    lblCallBackDate->setFont(ProgramFonts::LabelFont(11));
    lblCallBackDate->move(82, 7);
    lblCallBackDate->adjustSize();
    timeCallBacks = new TDateTimePicker(tab);
    timeCallBacks->setObjectName(QStringLiteral("timeCallBacks"));
    timeCallBacks->SetKind(TDateTimePicker::dtkDate);
    timeCallBacks->setGeometry(158, 3, 121, 21);
    btnCallBacks = Button(tab, "btnCallBacks", QStringLiteral("Display"), QRect(284, 1, 83, 25),
                          &ContactLists::btnCallBacksClick);
    // Beside Display, outside the tab stops, so Tab still goes from Display
    // to the list. The tick is kept from one run to the next.
    chkOverdue = new QCheckBox(QStringLiteral("Include overdue"), tab);
    chkOverdue->setObjectName(QStringLiteral("chkOverdue"));
    chkOverdue->setFocusPolicy(Qt::NoFocus);
    chkOverdue->move(374, 5);
    chkOverdue->adjustSize();
    chkOverdue->setChecked(GenFun::ReadRegString(GenFun::kKey, kIncludeOverdue, QString()) ==
                           QLatin1String("1"));
    connect(chkOverdue, &QCheckBox::toggled, this, &ContactLists::chkOverdueToggled);
    gridCallBack = Grid(tab, "gridCallBack", dsCallback);
    AddColumns(gridCallBack, kCallBackColumns);
    FocusChain::LeaveOnTab(timeCallBacks);
    FocusChain::Chain({timeCallBacks, btnCallBacks, gridCallBack, btnLoadCallback});
}

void ContactLists::BuildSearch(QWidget *tab, TDataSource &dsSearch) {
    btnLoadSearch = Button(tab, "btnLoadSearch", QStringLiteral("Load"), QRect(3, 2, 75, 25),
                           &ContactLists::btnLoadSearchClick);
    btnLoadSearch->setIcon(tab->style()->standardIcon(QStyle::SP_BrowserReload));
    lblSearchFor = new QLabel(QStringLiteral("Search For:"), tab);
    lblSearchFor->setFont(ProgramFonts::LabelFont(11));
    lblSearchFor->move(85, 7);
    lblSearchFor->adjustSize();
    txtSearch = new TEdit(tab);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setGeometry(142, 4, 203, 21);
    txtSearch->OnKeyUp = [this](TEdit *, int key, Qt::KeyboardModifiers) { txtSearchKeyUp(key); };
    btnSearch = Button(tab, "btnSearch", QStringLiteral("Display"), QRect(351, 1, 71, 25),
                       &ContactLists::btnSearchClick);
    gridSearch = Grid(tab, "gridSearch", dsSearch);
    AddColumns(gridSearch, kSearchColumns);
    FocusChain::Chain({btnSearch, txtSearch, gridSearch, btnLoadSearch});
}

std::vector<QWidget *> ContactLists::TabOrder() const {
    return {timeCallBacks, btnCallBacks, gridCallBack, btnLoadCallback,
            btnSearch,     txtSearch,    gridSearch,   btnLoadSearch};
}

bool ContactLists::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Resize) {
        auto *tab = static_cast<QWidget *>(watched);
        for (TDBGrid *grid : {gridCallBack, gridSearch}) {
            if (grid && grid->parentWidget() == tab)
                grid->setGeometry(0, kGridTop, tab->width(), std::max(0, tab->height() - kGridTop));
        }
    }
    return QObject::eventFilter(watched, event);
}

const QString ContactLists::kIncludeOverdue = QStringLiteral("CallBacksIncludeOverdue");

QStringList ContactLists::CallbackLines(const QDate &day, bool includeOverdue) {
    const QString dayText = DateTimeValue::ShortDateText(DateTimeValue::FromDate(day));
    QStringList lines{
        QStringLiteral("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"") +
        dayText + QStringLiteral("\"")};
    if (!includeOverdue)
        return lines;
    // Due before the day and not called since (or never): a range on the
    // call-back index read in its order, so the first rows come at once
    // however many are overdue. Texts and nulls are never below a number.
    const QString start = QString::number(DateTimeValue::FromDate(day), 'f', 0);
    lines << QStringLiteral("union all select * from (select * from Contacts")
          << QStringLiteral("where CallbackDate < ") + start
          << QStringLiteral("and (LastCallDate is null or LastCallDate < CallbackDate)")
          << QStringLiteral("order by CallbackDate)");
    return lines;
}

void ContactLists::LoadCallbacks() {
    qryCallBack_.Close();
    qryCallBack_.SQL().Clear();
    for (const QString &line :
         CallbackLines(DateTimeValue::ToDate(timeCallBacks->Date()), chkOverdue->isChecked()))
        qryCallBack_.SQL().Add(line);
    qryCallBack_.Open();
}

void ContactLists::chkOverdueToggled(bool on) {
    GenFun::WriteRegString(GenFun::kKey, kIncludeOverdue,
                           on ? QStringLiteral("1") : QStringLiteral("0"));
    LoadCallbacks();
}

QStringList ContactLists::SearchLines(const QString &text) {
    QString literal = text;
    // A NUL (pasted from elsewhere) cannot be part of a stored text, so it
    // can never match; it is dropped rather than ending the search text.
    literal.remove(QChar(0));
    literal.replace(QLatin1Char('"'), QLatin1String("\"\""));
    QStringList lines;
    for (const char *head : kSearchHeads)
        lines << QString::fromLatin1(head) + literal + QStringLiteral("%\"");
    return lines;
}

void ContactLists::RunSearch() {
    qrySearch_.Close();
    qrySearch_.SQL().Clear();
    for (const QString &line : SearchLines(txtSearch->text()))
        qrySearch_.SQL().Add(line);
    qrySearch_.Open();
}

void ContactLists::btnCallBacksClick() {
    LoadCallbacks();
}

void ContactLists::btnLoadCallbackClick() {
    loadFromGrid_(gridCallBack);
}

void ContactLists::btnSearchClick() {
    RunSearch();
}

void ContactLists::btnLoadSearchClick() {
    loadFromGrid_(gridSearch);
}

void ContactLists::txtSearchKeyUp(int key) {
    if (key == 13)
        RunSearch();
}
