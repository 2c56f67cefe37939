#include "ui/controls/TDateTimePicker.h"

#include "data/DateTimeValue.h"
#include "ui/controls/DateTimeErrors.h"
#include "ui/controls/TErrorBox.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <cmath>

namespace {

constexpr int kDefaultWidth = 186;
// Eight times a one-pixel border over the font's text height.
constexpr int kBorderAllowance = 8;

// The editor works in UTC so that no local clock change can make a day's
// time of day invalid or shift it.
QDateTime EditorDateTime(double value) {
    return QDateTime(DateTimeValue::ToDate(value), DateTimeValue::ToTime(value), Qt::UTC);
}

// The widest range the editor can hold.
const QDateTime kEditorMin(QDate(100, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime kEditorMax(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC);

QDateTime RangeLow(double minDate) {
    return minDate == 0 ? kEditorMin
                        : QDateTime(DateTimeValue::ToDate(minDate), QTime(0, 0), Qt::UTC);
}

QDateTime RangeHigh(double maxDate) {
    return maxDate == 0
               ? kEditorMax
               : QDateTime(DateTimeValue::ToDate(maxDate), QTime(23, 59, 59, 999), Qt::UTC);
}

double TimeFraction(double value) {
    return std::fabs(value - std::trunc(value));
}

// Whole days of one value joined to the time-of-day fraction of another;
// before the epoch the fraction counts away from zero.
double Join(double days, double fraction) {
    return days >= 0 ? days + fraction : days - fraction;
}

// Sets a flag for the life of a scope.
class FlagScope {
public:
    explicit FlagScope(bool &flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }

private:
    bool &flag_;
    bool old_;
};

} // namespace

TDateTimePicker::TDateTimePicker(QWidget *parent) : QWidget(parent) {
    editor_ = new QDateTimeEdit(this);
    editor_->setTimeSpec(Qt::UTC);
    editor_->setDateTimeRange(kEditorMin, kEditorMax);
    checkBox_ = new QCheckBox(this);
    checkBox_->setChecked(true);
    checkBox_->hide();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(checkBox_);
    layout->addWidget(editor_, 1);
    setFocusProxy(editor_);
    editorText_ = editor_->findChild<QLineEdit *>();
    if (editorText_)
        editorText_->installEventFilter(this);

    connect(editor_, &QDateTimeEdit::dateTimeChanged, this, [this] { EditorChanged(); });
    connect(checkBox_, &QCheckBox::toggled, this, [this](bool on) { CheckBoxToggled(on); });

    value_ = DateTimeValue::FromDateTime(QDateTime::currentDateTime());
    lastChange_ = value_;
    Rebuild();
    resize(kDefaultWidth, height());
    FitHeight();
}

void TDateTimePicker::Rebuild() {
    FlagScope guard(changing_);
    if (kind_ == dtkDate) {
        editor_->setDisplayFormat(dateFormat_ == dfShort
                                      ? DateTimeValue::ShortDateFormat()
                                      : QLocale().dateFormat(QLocale::LongFormat));
        editor_->setCalendarPopup(dateMode_ == dmComboBox);
    } else {
        editor_->setCalendarPopup(false);
        editor_->setDisplayFormat(DateTimeValue::LongTimeFormat());
    }
    checkBox_->setVisible(showCheckbox_);
    checkBox_->setChecked(checked_);
    editor_->setEnabled(!showCheckbox_ || checked_);

    QWidget *popup = nullptr;
    if (editor_->calendarPopup())
        if (QCalendarWidget *calendar = editor_->calendarWidget())
            popup = calendar->window();
    if (popup != calendarPopup_) {
        if (calendarPopup_)
            calendarPopup_->removeEventFilter(this);
        calendarPopup_ = popup;
        if (calendarPopup_)
            calendarPopup_->installEventFilter(this);
    }
    if (kind_ == dtkDate)
        editor_->setDateTimeRange(RangeLow(minDate_), RangeHigh(maxDate_));
    editor_->setDateTime(EditorValue(value_));
}

QDateTime TDateTimePicker::EditorValue(double value) const {
    // A time-only editor holds one fixed day; it only shows the time.
    if (kind_ == dtkTime)
        return QDateTime(editor_->date(), DateTimeValue::ToTime(value), Qt::UTC);
    return EditorDateTime(value);
}

void TDateTimePicker::FitHeight() {
    resize(width(), fontMetrics().height() + kBorderAllowance);
}

void TDateTimePicker::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitHeight();
}

void TDateTimePicker::PushValue(double value) {
    const QDateTime whole = EditorDateTime(value);
    const QDateTime wanted = EditorValue(value);
    if (!whole.isValid() || whole < kEditorMin || whole > kEditorMax ||
        wanted < editor_->minimumDateTime() || wanted > editor_->maximumDateTime())
        throw ECommonCalendarError(QStringLiteral("Failed to set calendar date or time"));
    // While this picker's own change handler runs, the user is typing into
    // the editor (it reports the "1" of "17" at once); writing the editor
    // then would end the part's typing and lose the "7". The value is kept
    // and the editor shows it when the handler is done.
    if (inOwnChange_ || editor_->dateTime() == wanted)
        return;
    FlagScope guard(changing_);
    editor_->setDateTime(wanted);
    if (editor_->dateTime() != wanted) {
        editor_->setDateTime(EditorValue(value_));
        throw ECommonCalendarError(QStringLiteral("Failed to set calendar date or time"));
    }
}

void TDateTimePicker::SetDateTime(double value) {
    PushValue(value);
    value_ = value;
}

void TDateTimePicker::SetDate(double value) {
    const double days = std::trunc(value);
    const double result = Join(days, TimeFraction(value_));
    if (result == 0) {
        if (!showCheckbox_)
            throw EDateTimeError(
                QStringLiteral("You must be in ShowCheckbox mode to set to this date"));
        SetChecked(false);
        update();
    }
    const double previous = value_;
    try {
        if (maxDate_ != 0 && days > maxDate_)
            throw EDateTimeError(QStringLiteral("Date exceeds maximum of %1")
                                     .arg(DateTimeValue::ShortDateText(maxDate_)));
        if (minDate_ != 0 && days < minDate_)
            throw EDateTimeError(QStringLiteral("Date is less than minimum of %1")
                                     .arg(DateTimeValue::ShortDateText(minDate_)));
        SetDateTime(result);
    } catch (...) {
        try {
            PushValue(previous);
        } catch (...) {
            // The editor held the previous value before; nothing better to
            // show than what it shows now.
        }
        throw;
    }
}

void TDateTimePicker::SetTime(double value) {
    const double fraction = TimeFraction(value);
    if (fraction == TimeFraction(value_))
        return;
    const double result = Join(std::trunc(value_), fraction);
    if (result == 0) {
        if (!showCheckbox_)
            throw EDateTimeError(
                QStringLiteral("You must be in ShowCheckbox mode to set to this date"));
        SetChecked(false);
        update();
        return;
    }
    SetDateTime(result);
}

void TDateTimePicker::SetKind(TDateTimeKind kind) {
    kind_ = kind;
    Rebuild();
}

void TDateTimePicker::SetDateMode(TDTDateMode mode) {
    dateMode_ = mode;
    Rebuild();
}

void TDateTimePicker::SetDateFormat(TDTDateFormat format) {
    dateFormat_ = format;
    Rebuild();
}

void TDateTimePicker::SetShowCheckbox(bool show) {
    showCheckbox_ = show;
    Rebuild();
}

void TDateTimePicker::SetChecked(bool checked) {
    checked_ = checked;
    FlagScope guard(changing_);
    checkBox_->setChecked(checked);
    editor_->setEnabled(!showCheckbox_ || checked_);
}

void TDateTimePicker::PushRange(double minDate, double maxDate) {
    const QDateTime low = RangeLow(minDate);
    const QDateTime high = RangeHigh(maxDate);
    if (!low.isValid() || !high.isValid() || low < kEditorMin || high > kEditorMax || low > high)
        throw ECommonCalendarError(QStringLiteral("Failed to set calendar min/max range"));
    // A time-only editor keeps its one day; there the bounds are checked by
    // the Date setter alone.
    if (kind_ != dtkDate)
        return;
    FlagScope guard(changing_);
    editor_->setDateTimeRange(low, high);
    // Narrowing the range may have pulled the editor's value inside it; the
    // picker's own value is pulled in by the caller.
    editor_->setDateTime(EditorValue(value_));
}

void TDateTimePicker::SetMinDate(double value) {
    if (value != 0 && maxDate_ != 0 && value > maxDate_)
        throw EDateTimeError(QStringLiteral("Date exceeds maximum of %1")
                                 .arg(DateTimeValue::ShortDateText(maxDate_)));
    PushRange(value, maxDate_);
    minDate_ = value;
    if (minDate_ != 0 && std::trunc(value_) < minDate_)
        SetDate(minDate_);
}

void TDateTimePicker::SetMaxDate(double value) {
    if (value != 0 && minDate_ != 0 && value < minDate_)
        throw EDateTimeError(QStringLiteral("Date is less than minimum of %1")
                                 .arg(DateTimeValue::ShortDateText(minDate_)));
    PushRange(minDate_, value);
    maxDate_ = value;
    if (maxDate_ != 0 && std::trunc(value_) > maxDate_)
        SetDate(maxDate_);
}

void TDateTimePicker::RestoreEditor() {
    FlagScope guard(changing_);
    editor_->setDateTime(EditorValue(value_));
}

void TDateTimePicker::EditorChanged() {
    if (changing_)
        return;
    const QDateTime reported = editor_->dateTime();
    try {
        if (reported.isValid()) {
            const double value = DateTimeValue::FromDateTime(reported);
            lastChange_ = value;
            if (droppedDown_) {
                value_ = value;
            } else {
                if (kind_ == dtkDate)
                    SetDate(value);
                else
                    SetTime(value);
                if (showCheckbox_)
                    SetChecked(true);
            }
        }
        if (OnChange) {
            FlagScope inHandler(inOwnChange_);
            OnChange(this);
        }
        SyncEditor();
    } catch (...) {
        // A refused change must not stay on screen as if it had been taken.
        RestoreEditor();
        TErrorBox::ShowCurrent();
    }
}

void TDateTimePicker::SyncEditor() {
    const QDateTime wanted = EditorValue(value_);
    if (editor_->dateTime() != wanted) {
        FlagScope guard(changing_);
        editor_->setDateTime(wanted);
    }
}

void TDateTimePicker::CheckBoxToggled(bool checked) {
    if (changing_)
        return;
    try {
        checked_ = checked;
        editor_->setEnabled(checked_);
        if (checked_) {
            // Checking the box reports the value the editor shows.
            lastChange_ = value_;
        }
        if (OnChange)
            OnChange(this);
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
}

void TDateTimePicker::CalendarShown() {
    lastChange_ = value_;
    droppedDown_ = true;
    if (OnDropDown)
        OnDropDown(this);
}

void TDateTimePicker::CalendarHidden() {
    droppedDown_ = false;
    SetDate(lastChange_);
    if (OnCloseUp)
        OnCloseUp(this);
}

bool TDateTimePicker::eventFilter(QObject *watched, QEvent *event) {
    // A click into a part of the date or time selects the whole part, so the
    // digits typed next replace it ("17" makes the day 17) instead of being
    // inserted beside the digits already there. A drag keeps its selection.
    if (watched == editorText_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
        !static_cast<QLineEdit *>(editorText_)->hasSelectedText() &&
        editor_->currentSection() != QDateTimeEdit::NoSection)
        editor_->setSelectedSection(editor_->currentSection());
    if (watched == calendarPopup_) {
        try {
            if (event->type() == QEvent::Show && !droppedDown_)
                CalendarShown();
            else if (event->type() == QEvent::Hide && droppedDown_)
                CalendarHidden();
        } catch (...) {
            RestoreEditor();
            TErrorBox::ShowCurrent();
        }
    }
    return QWidget::eventFilter(watched, event);
}
