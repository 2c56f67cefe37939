#include "ui/controls/TPopupDataList.h"

#include "data/DataSource.h"
#include "data/DatabaseErrors.h"
#include "data/Field.h"
#include "data/RecordCursor.h"
#include "ui/controls/TFieldTraits.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int kBorder = 1;

// Characters a field's column is wide in the list.
int DisplayChars(const TField &field) {
    if (field.IsText())
        return field.Size() > 0 ? field.Size() : 20;
    if (field.IsInteger())
        return 10;
    return 15;
}

bool SameKey(const TValue &a, const TValue &b) {
    if (ValueIsNull(a) || ValueIsNull(b))
        return false;
    return a == b;
}

} // namespace

TPopupDataList::TPopupDataList(QWidget *owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setRange(0, 4);
    scrollBar_->setPageStep(1);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    connect(scrollBar_, &QScrollBar::actionTriggered, this,
            [this](int action) { ScrollAction(action); });
    autoScroll_ = new QTimer(this);
    connect(autoScroll_, &QTimer::timeout, this, [this] { AutoScroll(); });
    link_.OnRowsChange = [this] {
        SyncScrollBar();
        update();
    };
    link_.OnActiveChange = link_.OnRowsChange;
}

TPopupDataList::~TPopupDataList() = default;

TRecordCursor *TPopupDataList::Cursor() const {
    return link_.Active() ? link_.DataSet() : nullptr;
}

void TPopupDataList::Attach(TDataSource *listSource, const QString &keyField,
                            const QString &listFields, int listFieldIndex, int rows,
                            const TValue &key) {
    SetRowCount(rows);
    link_.SetDataSource(listSource);
    keyField_ = nullptr;
    listFields_.clear();
    search_.Clear();
    if (TRecordCursor *cursor = Cursor()) {
        keyField_ = cursor->FindField(keyField);
        for (const QString &name : listFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (TField *field = cursor->FindField(name.trimmed()))
                listFields_.push_back(field);
        if (listFields_.empty() && keyField_)
            listFields_.push_back(keyField_);
    }
    listFieldIndex_ =
        listFieldIndex >= 0 && listFieldIndex < int(listFields_.size()) ? listFieldIndex : 0;
    key_ = key;
    LocateKeyOrFirst();
    SyncScrollBar();
    update();
}

void TPopupDataList::Detach() {
    autoScroll_->stop();
    tracking_ = false;
    link_.SetDataSource(nullptr);
    keyField_ = nullptr;
    listFields_.clear();
}

void TPopupDataList::SetRowCount(int rows) {
    rowCount_ = std::clamp(rows, kMinRows, kMaxRows);
    link_.SetBufferCount(rowCount_);
}

int TPopupDataList::RowHeight() const {
    return fontMetrics().height();
}

int TPopupDataList::HeightFor(int rows) const {
    return rows * RowHeight() + 2 * kBorder;
}

void TPopupDataList::LocateKeyOrFirst() {
    TRecordCursor *cursor = Cursor();
    if (!cursor || !keyField_)
        return;
    bool found = false;
    if (!ValueIsNull(key_)) {
        try {
            found = cursor->Locate(keyField_->FieldName(), key_);
        } catch (const EError &) {
            found = false;
        }
    }
    if (!found)
        cursor->First();
}

int TPopupDataList::HighlightedRow() const {
    TRecordCursor *cursor = Cursor();
    if (!cursor || !keyField_)
        return -1;
    for (int i = 0; i < link_.ShownRowCount(); ++i)
        if (SameKey(cursor->BufferedValue(link_.FirstShownRow() + i, keyField_), key_))
            return i;
    return -1;
}

void TPopupDataList::TakeCurrentKey() {
    if (keyField_)
        key_ = keyField_->Value();
    update();
}

void TPopupDataList::MoveFromHighlight(int delta) {
    TRecordCursor *cursor = Cursor();
    if (!cursor || !keyField_)
        return;
    const int highlighted = HighlightedRow();
    if (highlighted < 0) {
        LocateKeyOrFirst();
        update();
        return;
    }
    const int distance = highlighted - link_.ActiveRow() + delta;
    if (distance != 0)
        cursor->MoveBy(distance);
    TakeCurrentKey();
}

void TPopupDataList::SelectShownRow(int shownRow) {
    TRecordCursor *cursor = Cursor();
    if (!cursor || shownRow < 0 || shownRow >= link_.ShownRowCount())
        return;
    const int distance = shownRow - link_.ActiveRow();
    if (distance != 0)
        cursor->MoveBy(distance);
    TakeCurrentKey();
}

bool TPopupDataList::HandleKey(QKeyEvent *event) {
    TRecordCursor *cursor = Cursor();
    if (!cursor || readOnly_)
        return false;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        MoveFromHighlight(-1);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        MoveFromHighlight(1);
        return true;
    case Qt::Key_PageUp:
        MoveFromHighlight(-(rowCount_ - 1));
        return true;
    case Qt::Key_PageDown:
        MoveFromHighlight(rowCount_ - 1);
        return true;
    case Qt::Key_Home:
        cursor->First();
        TakeCurrentKey();
        return true;
    case Qt::Key_End:
        cursor->Last();
        TakeCurrentKey();
        return true;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() != 1 || listFields_.empty())
        return false;
    const TField &listField = *listFields_[size_t(listFieldIndex_)];
    if (!TLookupSearch::Searchable(listField))
        return false;
    const QChar c = text.at(0);
    if (c == QChar(8) || c == QChar(27)) {
        search_.Clear();
        return true;
    }
    if (c.unicode() < 32)
        return false;
    if (search_.Extend(c, *cursor, listField))
        TakeCurrentKey();
    return true;
}

int TPopupDataList::ShownRowAt(int y) const {
    return (y - kBorder) / std::max(1, RowHeight());
}

void TPopupDataList::StartTracking(const QPoint &globalPos) {
    if (readOnly_)
        return;
    tracking_ = true;
    TrackTo(globalPos);
}

void TPopupDataList::TrackTo(const QPoint &globalPos) {
    if (!tracking_)
        return;
    const QPoint pos = mapFromGlobal(globalPos);
    lastMouse_ = pos;
    const int top = kBorder;
    const int bottom = kBorder + link_.ShownRowCount() * RowHeight();
    if (pos.y() >= top && pos.y() < bottom) {
        autoScroll_->stop();
        autoScrollDirection_ = 0;
        const int row = ShownRowAt(pos.y());
        if (row != HighlightedRow())
            SelectShownRow(row);
        return;
    }
    // Above or below: scroll one row at a time, faster the further away.
    const int distance = pos.y() < top ? top - pos.y() : pos.y() - bottom + 1;
    autoScrollDirection_ = pos.y() < top ? -1 : 1;
    autoScroll_->setInterval(std::max(0, 200 - 15 * distance));
    if (!autoScroll_->isActive())
        autoScroll_->start();
}

void TPopupDataList::AutoScroll() {
    if (!tracking_ || autoScrollDirection_ == 0) {
        autoScroll_->stop();
        return;
    }
    MoveFromHighlight(autoScrollDirection_);
}

void TPopupDataList::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    StartTracking(event->globalPosition().toPoint());
}

void TPopupDataList::mouseMoveEvent(QMouseEvent *event) {
    TrackTo(event->globalPosition().toPoint());
}

void TPopupDataList::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasTracking = tracking_;
    tracking_ = false;
    autoScroll_->stop();
    const bool inside = rect().contains(event->position().toPoint());
    if ((wasTracking || readOnly_) && OnCloseRequest)
        OnCloseRequest(inside && !readOnly_);
}

void TPopupDataList::ScrollRows(int rows) {
    TRecordCursor *cursor = Cursor();
    if (!cursor || rows == 0)
        return;
    // Moving the cursor just past the shown rows makes the link shift them.
    const int shown = link_.ShownRowCount();
    const int active = link_.ActiveRow();
    cursor->MoveBy(rows > 0 ? shown - 1 - active + rows : -active + rows);
    update();
}

void TPopupDataList::ScrollAction(int action) {
    TRecordCursor *cursor = Cursor();
    if (!cursor || readOnly_)
        return;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        ScrollRows(-1);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        ScrollRows(1);
        break;
    case QAbstractSlider::SliderPageStepSub:
        ScrollRows(-rowCount_);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        ScrollRows(rowCount_);
        break;
    case QAbstractSlider::SliderMove: {
        const int position = scrollBar_->sliderPosition();
        if (position == 0)
            cursor->First();
        else if (position == 4)
            cursor->Last();
        else if (position == 1)
            ScrollRows(-rowCount_);
        else if (position == 3)
            ScrollRows(rowCount_);
        break;
    }
    default:
        break;
    }
    SyncScrollBar();
    scrollBar_->setSliderPosition(scrollBar_->value());
}

void TPopupDataList::SyncScrollBar() {
    TRecordCursor *cursor = Cursor();
    const QSignalBlocker block(scrollBar_);
    if (!cursor) {
        scrollBar_->setEnabled(false);
        return;
    }
    scrollBar_->setEnabled(link_.ShownRowCount() >= rowCount_);
    scrollBar_->setValue(cursor->Bof() ? 0 : cursor->Eof() ? 4 : 2);
}

void TPopupDataList::resizeEvent(QResizeEvent *) {
    const int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    scrollBar_->setGeometry(this->width() - kBorder - width, kBorder, width,
                            height() - 2 * kBorder);
}

int TPopupDataList::ColumnWidth(const TField &field) const {
    return DisplayChars(field) * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 4;
}

void TPopupDataList::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QPalette &pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Base));
    painter.setPen(pal.color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    TRecordCursor *cursor = Cursor();
    if (!cursor || listFields_.empty())
        return;
    const int right = scrollBar_->isVisible() ? scrollBar_->x() : width() - kBorder;
    const int rowHeight = RowHeight();
    const int highlighted = HighlightedRow();
    int focusRow = highlighted;
    if (focusRow < 0 && ValueIsNull(key_) && cursor->Bof() && link_.FirstShownRow() == 0)
        focusRow = 0;
    for (int i = 0; i < link_.ShownRowCount(); ++i) {
        const QRect rowRect(kBorder, kBorder + i * rowHeight, right - kBorder, rowHeight);
        const bool selected = i == highlighted;
        if (selected)
            painter.fillRect(rowRect, pal.color(QPalette::Highlight));
        painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        int x = rowRect.left();
        for (size_t c = 0; c < listFields_.size(); ++c) {
            const TField &field = *listFields_[c];
            const bool last = c + 1 == listFields_.size();
            const int w = last ? rowRect.right() + 1 - x : ColumnWidth(field);
            const QRect cell(x + 2, rowRect.top(), std::max(0, w - 4), rowHeight);
            const TValue value = cursor->BufferedValue(link_.FirstShownRow() + i, &field);
            painter.drawText(cell, int(TFieldTraits::Alignment(field) | Qt::AlignVCenter),
                             field.TextOf(value));
            x += w;
            if (!last) {
                painter.drawLine(x, rowRect.top(), x, rowRect.bottom());
                x += 1;
            }
        }
        if (i == focusRow) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rowRect;
            option.backgroundColor = pal.color(selected ? QPalette::Highlight : QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
}
