#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <vector>

class QCheckBox;
class QDate;
class QLabel;
class QPushButton;
class QWidget;
class TDBGrid;
class TDataSource;
class TDateTimePicker;
class TEdit;
class TQueryCursor;

// The two lists below the editor: the call-backs of one day and the search
// over all contacts. Each tab holds a Load button, its own inputs, a Display
// button and a read-only grid; Load hands the grid to `loadFromGrid`, which
// moves the editor to the chosen contact.
class ContactLists : public QObject {
    Q_OBJECT
public:
    using TGridHandler = std::function<void(TDBGrid *)>;

    ContactLists(QWidget *tabCallBacks, QWidget *tabSearch, TQueryCursor &qryCallBack,
                 TDataSource &dsCallback, TQueryCursor &qrySearch, TDataSource &dsSearch,
                 TGridHandler loadFromGrid);

    QPushButton *btnLoadCallback = nullptr;
    QLabel *lblCallBackDate = nullptr;
    TDateTimePicker *timeCallBacks = nullptr;
    QPushButton *btnCallBacks = nullptr;
    QCheckBox *chkOverdue = nullptr; // "Include overdue"
    TDBGrid *gridCallBack = nullptr;

    QPushButton *btnLoadSearch = nullptr;
    QLabel *lblSearchFor = nullptr;
    TEdit *txtSearch = nullptr;
    QPushButton *btnSearch = nullptr;
    TDBGrid *gridSearch = nullptr;

    // The tab stops of both tabs in their order: the call-backs tab's
    // picker, Display, grid and Load, then the search tab's Display, text,
    // grid and Load. Only the shown tab's stops are visited.
    std::vector<QWidget *> TabOrder() const;

    // Lists the contacts due on the picker's day; with "Include overdue"
    // ticked, then those due before it and not called since, oldest first.
    void LoadCallbacks();
    // The call-backs statement for a day, as the lines it is made of.
    static QStringList CallbackLines(const QDate &day, bool includeOverdue);
    // The name under which the tick of "Include overdue" is kept.
    static const QString kIncludeOverdue;
    // Lists the contacts in which the search text occurs.
    void RunSearch();
    // The search statement for a text, as the lines it is made of. A double
    // quote in the text is doubled, so the text stays one literal.
    static QStringList SearchLines(const QString &text);

    void btnCallBacksClick();
    void chkOverdueToggled(bool on);
    void btnLoadCallbackClick();
    void btnSearchClick();
    void btnLoadSearchClick();
    void txtSearchKeyUp(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildCallBacks(QWidget *tab, TDataSource &dsCallback);
    void BuildSearch(QWidget *tab, TDataSource &dsSearch);
    QPushButton *Button(QWidget *tab, const char *name, const QString &caption, QRect geometry,
                        void (ContactLists::*handler)());
    TDBGrid *Grid(QWidget *tab, const char *name, TDataSource &source);

    TQueryCursor &qryCallBack_;
    TQueryCursor &qrySearch_;
    TGridHandler loadFromGrid_;
};
