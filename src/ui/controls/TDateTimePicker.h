#pragma once

#include <QDateTime>
#include <QWidget>
#include <functional>

class QCheckBox;
class QDateTimeEdit;

// A date or time picker over an unbound value: a date-time (days since 30
// December 1899, the fraction the time of day). The date kind shows the
// value's date in the short date format with a drop-down month calendar; the
// time kind shows its time of day in the long time format with spin arrows.
//
// The program writes the value through DateTime (both halves), Date (keeps
// the picker's time of day) or Time (keeps the picker's date); none of them
// raises OnChange. OnChange is a plain callback, raised only after a change
// made by the user; a handler may set any picker, this one included, without
// causing another OnChange. An exception from a handler or from applying the
// user's change goes to the error box and the editor shows the value again.
class TDateTimePicker : public QWidget {
    Q_OBJECT

public:
    enum TDateTimeKind { dtkDate, dtkTime };
    enum TDTDateMode { dmComboBox, dmUpDown };
    enum TDTDateFormat { dfShort, dfLong };
    enum TDTCalAlignment { dtaLeft, dtaRight };

    using Event = std::function<void(TDateTimePicker *sender)>;

    explicit TDateTimePicker(QWidget *parent = nullptr);

    // Sets the whole value; ECommonCalendarError when the editor refuses it.
    void SetDateTime(double value);
    // Both read the whole value, date and time of day together.
    double Date() const { return value_; }
    double Time() const { return value_; }
    // Sets the date of value, keeping the picker's time of day; see the
    // EDateTimeError cases in the source.
    void SetDate(double value);
    // Sets the time of day of value, keeping the picker's date.
    void SetTime(double value);

    TDateTimeKind Kind() const { return kind_; }
    void SetKind(TDateTimeKind kind);
    TDTDateMode DateMode() const { return dateMode_; }
    void SetDateMode(TDTDateMode mode);
    TDTDateFormat DateFormat() const { return dateFormat_; }
    void SetDateFormat(TDTDateFormat format);
    // Kept for the windows' settings; free-text input is never offered.
    bool ParseInput() const { return parseInput_; }
    void SetParseInput(bool parse) { parseInput_ = parse; }
    TDTCalAlignment CalAlignment() const { return calAlignment_; }
    void SetCalAlignment(TDTCalAlignment alignment) { calAlignment_ = alignment; }
    bool ShowCheckbox() const { return showCheckbox_; }
    void SetShowCheckbox(bool show);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    // 0 means no bound.
    double MinDate() const { return minDate_; }
    void SetMinDate(double value);
    double MaxDate() const { return maxDate_; }
    void SetMaxDate(double value);

    bool DroppedDown() const { return droppedDown_; }
    // The editing widget, for layout and for driving it in tests.
    QDateTimeEdit *Editor() const { return editor_; }

    Event OnChange;
    Event OnDropDown;
    Event OnCloseUp;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Shows the picker's value in the editor unless it shows it already.
    void SyncEditor();
    void Rebuild();
    void FitHeight();
    QDateTime EditorValue(double value) const;
    void PushValue(double value);
    void PushRange(double minDate, double maxDate);
    void RestoreEditor();
    void EditorChanged();
    void CheckBoxToggled(bool checked);
    void CalendarShown();
    void CalendarHidden();

    QDateTimeEdit *editor_ = nullptr;
    QCheckBox *checkBox_ = nullptr;
    QWidget *calendarPopup_ = nullptr;
    // The editor's text field, where a click picks the part to type into.
    QWidget *editorText_ = nullptr;
    // True while OnChange runs for a change the user is making.
    bool inOwnChange_ = false;
    double value_ = 0;
    double lastChange_ = 0;
    double minDate_ = 0;
    double maxDate_ = 0;
    TDateTimeKind kind_ = dtkDate;
    TDTDateMode dateMode_ = dmComboBox;
    TDTDateFormat dateFormat_ = dfShort;
    TDTCalAlignment calAlignment_ = dtaLeft;
    bool parseInput_ = false;
    bool showCheckbox_ = false;
    bool checked_ = true;
    bool droppedDown_ = false;
    // Set while the program writes into the editor, whose change reports
    // then are not the user's.
    bool changing_ = false;
};
