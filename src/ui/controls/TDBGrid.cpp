#include "ui/controls/TDBGrid.h"

#include "data/DataSource.h"
#include "data/Field.h"
#include "data/RecordCursor.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TErrorBox.h"
#include "ui/controls/TGridInput.h"
#include "ui/controls/TGridPainter.h"
#include "ui/controls/TInplaceEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

std::function<bool(const QString &)> TDBGrid::ConfirmHook;

TDBGrid::TDBGrid(QWidget *parent) : QAbstractScrollArea(parent), link_(this) {
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    titleFont_ = font();
    columns_.Cursor = [this] { return Cursor(); };
    columns_.CellFont = [this] { return font(); };
    columns_.TitleFont = [this] { return titleFont_; };
    columns_.ShowsTitles = [this] { return (options_ & dgTitles) != 0; };
    columns_.OnChange = [this] { LayoutChanged(); };
    editor_ = new TInplaceEdit(this);
    input_ = std::make_unique<TGridInput>(*this);

    QScrollBar *bar = verticalScrollBar();
    bar->setTracking(false);
    connect(bar, &QScrollBar::actionTriggered, this,
            [this](int action) { TErrorBox::Guard([&] { VerticalAction(action); }); });
    connect(bar, &QScrollBar::sliderReleased, this,
            [this] { TErrorBox::Guard([&] { ThumbReleased(); }); });
    LayoutChanged();
}

TDBGrid::~TDBGrid() {
    columns_.OnChange = nullptr;
    link_.SetDataSource(nullptr);
}

void TDBGrid::SetDataSource(TDataSource *source) {
    link_.SetDataSource(source);
    LayoutChanged();
}

void TDBGrid::SetOptions(TDBGridOptions options) {
    options_ = options;
    LayoutChanged();
}

void TDBGrid::SetTitleFont(const QFont &font) {
    titleFont_ = font;
    LayoutChanged();
}

// ---- layout ---------------------------------------------------------------

void TDBGrid::LayoutChanged() {
    if (inLayout_) {
        layoutPending_ = true;
        return;
    }
    inLayout_ = true;
    do {
        layoutPending_ = false;
        columns_.ResetFields();
        const int line = (options_ & dgRowLines) ? 1 : 0;
        rowHeight_ = QFontMetrics(font()).height() + 3 + line;
        titleHeight_ = QFontMetrics(titleFont_).height() + 4;

        shownColumns_.clear();
        columnX_.clear();
        std::vector<int> fieldMap;
        int x = IndicatorWidth();
        const int colLine = (options_ & dgColLines) ? 1 : 0;
        for (int i = 0; i < columns_.Count(); ++i) {
            TColumn *column = columns_[i];
            const TField *field = column->Field();
            fieldMap.push_back(field ? field->Index() : -1);
            if (!column->Visible())
                continue;
            shownColumns_.push_back(i);
            columnX_.push_back(x);
            x += column->Width() + colLine;
        }
        link_.SetFieldMap(std::move(fieldMap));
        if (selected_ < 0 || selected_ >= columns_.Count() || !columns_[selected_]->Visible())
            selected_ = shownColumns_.empty() ? -1 : shownColumns_.front();

        const int scrollable = std::max(0, viewport()->width() - IndicatorWidth());
        QScrollBar *hbar = horizontalScrollBar();
        hbar->setRange(0, std::max(0, x - IndicatorWidth() - scrollable));
        hbar->setPageStep(std::max(1, scrollable));
        hbar->setSingleStep(16);
        hOffset_ = hbar->value();

        dataRows_ = std::max(1, (viewport()->height() - DataTop()) / std::max(1, rowHeight_));
        link_.SetBufferCount(dataRows_);
    } while (layoutPending_);
    inLayout_ = false;
    paintedCurrent_ = CurrentRow();
    UpdateScrollBars();
    PlaceEditor();
    viewport()->update();
}

int TDBGrid::TotalWidth() const {
    if (columnX_.empty())
        return IndicatorWidth();
    const int colLine = (options_ & dgColLines) ? 1 : 0;
    return columnX_.back() + columns_[shownColumns_.back()]->Width() + colLine;
}

QRect TDBGrid::CellRect(int column, int row) const {
    const auto it = std::find(shownColumns_.begin(), shownColumns_.end(), column);
    if (it == shownColumns_.end())
        return QRect();
    const int x = columnX_[std::size_t(it - shownColumns_.begin())] - hOffset_;
    const int line = (options_ & dgRowLines) ? 1 : 0;
    if (row < 0)
        return QRect(x, 0, columns_[column]->Width(), titleHeight_);
    return QRect(x, DataTop() + row * rowHeight_, columns_[column]->Width(), rowHeight_ - line);
}

int TDBGrid::ColumnAt(int x) const {
    if (x < IndicatorWidth())
        return -1;
    const int colLine = (options_ & dgColLines) ? 1 : 0;
    for (std::size_t i = 0; i < shownColumns_.size(); ++i) {
        const int left = columnX_[i] - hOffset_;
        if (x >= left && x < left + columns_[shownColumns_[i]]->Width() + colLine)
            return shownColumns_[i];
    }
    return -1;
}

int TDBGrid::RowAt(int y) const {
    if (y < DataTop())
        return -1;
    const int row = (y - DataTop()) / rowHeight_;
    return row < dataRows_ ? row : -1;
}

// ---- the cursor -------------------------------------------------------------

bool TDBGrid::CursorHoldsRows() const {
    const TRecordCursor *cursor = Cursor();
    return link_.Active() && cursor && !cursor->IsEmpty();
}

bool TDBGrid::CanChangeRows() const {
    const TRecordCursor *cursor = Cursor();
    return link_.Active() && cursor && cursor->RowSource() &&
           cursor->RowSource()->SupportsUpdating() && !readOnly_ && !link_.ReadOnly();
}

bool TDBGrid::AcceptsEditing() const {
    return (options_ & dgEditing) && CanChangeRows();
}

int TDBGrid::CurrentRow() const {
    return CursorHoldsRows() ? link_.ActiveRow() : -1;
}

void TDBGrid::SetSelectedIndex(int column) {
    if (column < 0 || column >= columns_.Count() || !columns_[column]->Visible() ||
        column == selected_)
        return;
    InvalidateRow(CurrentRow());
    selected_ = column;
    MakeColumnVisible(column);
    InvalidateRow(CurrentRow());
    PlaceEditor();
    if (OnColEnter)
        OnColEnter();
}

TColumn *TDBGrid::SelectedColumn() const {
    return selected_ >= 0 && selected_ < columns_.Count() ? columns_[selected_] : nullptr;
}

TField *TDBGrid::SelectedField() const {
    const TColumn *column = SelectedColumn();
    return column ? column->Field() : nullptr;
}

QString TDBGrid::CellText(int column, int row) const {
    TRecordCursor *cursor = Cursor();
    if (!CursorHoldsRows() || row < 0 || row >= link_.ShownRowCount() || column < 0 ||
        column >= columns_.Count())
        return QString();
    const TField *field = columns_[column]->Field();
    if (!field)
        return QString();
    const int buffer = link_.FirstShownRow() + row;
    try {
        if (buffer == cursor->ActiveBufferIndex())
            return field->TextOf(field->Value());
        return field->TextOf(cursor->BufferedValue(buffer, field));
    } catch (const std::exception &) {
        return QString(); // a row the engine cannot read shows empty
    }
}

void TDBGrid::MoveCursor(int distance) {
    TRecordCursor *cursor = Cursor();
    if (cursor && link_.Active() && distance != 0)
        cursor->MoveBy(distance);
}

// ---- notifications ----------------------------------------------------------

void TDBGrid::LinkActive() {
    HideEditor();
    LayoutChanged();
}

void TDBGrid::LinkEditing() {
    InvalidateRow(CurrentRow());
    UpdateScrollBars();
}

void TDBGrid::LinkRecordChanged(TField *) {
    // The current row changed its values (or its state): repaint it and
    // reload the in-place text unless the user is typing there.
    InvalidateRow(CurrentRow());
    if (editorShown_ && !link_.Modified())
        PlaceEditor();
}

void TDBGrid::LinkRowsRefilled() {
    link_.SetModified(false);
    paintedCurrent_ = CurrentRow();
    UpdateScrollBars();
    PlaceEditor();
    viewport()->update();
}

void TDBGrid::LinkScrolled(int distance) {
    link_.SetModified(false);
    if (distance != 0 && std::abs(distance) < dataRows_) {
        // Shift the rows still shown by pixels; only the rows that come into
        // view and the current row's old and new places are painted.
        const QRect rows(0, DataTop(), viewport()->width(), dataRows_ * rowHeight_);
        viewport()->scroll(0, -distance * rowHeight_, rows);
    } else if (distance != 0) {
        viewport()->update();
    }
    InvalidateRow(paintedCurrent_ - distance);
    paintedCurrent_ = CurrentRow();
    InvalidateRow(paintedCurrent_);
    UpdateScrollBars();
    PlaceEditor();
}

void TDBGrid::LinkLayoutChanged() {
    LayoutChanged();
}

void TDBGrid::LinkWriteData() {
    UpdateData();
}

void TDBGrid::LinkFocusField(TField *field) {
    for (int i = 0; i < columns_.Count(); ++i) {
        if (columns_[i]->Visible() && columns_[i]->Field() == field) {
            SetSelectedIndex(i);
            setFocus();
            return;
        }
    }
}

// ---- in-place editor ------------------------------------------------------

bool TDBGrid::EditorShown() const {
    return editorShown_;
}

void TDBGrid::ShowEditor() {
    if (!(options_ & dgEditing) || !CursorHoldsRows() || !SelectedColumn())
        return;
    editorShown_ = true;
    PlaceEditor();
    editor_->setFocus();
}

void TDBGrid::HideEditor() {
    if (!editorShown_)
        return;
    const bool hadFocus = editor_->hasFocus();
    editorShown_ = false;
    editor_->hide();
    if (hadFocus)
        setFocus();
    InvalidateRow(CurrentRow());
}

void TDBGrid::PlaceEditor() {
    if (!editorShown_)
        return;
    const QRect cell = CellRect(selected_, CurrentRow());
    if (cell.isEmpty() || !CursorHoldsRows()) {
        editor_->hide();
        return;
    }
    if (!link_.Modified()) {
        const TField *field = SelectedField();
        editor_->setText(field ? field->TextValue() : QString());
        editor_->setMaxLength(field && field->IsText() && field->Size() > 0 ? field->Size()
                                                                            : 32767);
        editor_->selectAll();
    }
    editor_->setGeometry(cell.adjusted(1, 1, 0, 0));
    editor_->show();
}

bool TDBGrid::CanEditModify() {
    TField *field = SelectedField();
    if (readOnly_ || !(options_ & dgEditing) || !field || field->ReadOnly() || !link_.Active())
        return false;
    if (!link_.Editing() && !link_.Edit())
        return false;
    link_.SetModified(true);
    return true;
}

void TDBGrid::EditorTextChanged() {
    link_.SetModified(true);
}

void TDBGrid::UpdateData() {
    if (!link_.Modified())
        return;
    TField *field = SelectedField();
    const QString text = editor_->text();
    if (field)
        field->SetTextValue(text);
    link_.SetModified(false);
}

void TDBGrid::EditorFocusLost() {
    QWidget *now = QApplication::focusWidget();
    if (now && now != this && !isAncestorOf(now))
        CancelOnExit();
}

void TDBGrid::CancelOnExit() {
    TRecordCursor *cursor = Cursor();
    if (!cursor || !link_.Active())
        return;
    try {
        if ((options_ & dgCancelOnExit) && cursor->State() == stInsert && !cursor->Modified() &&
            !link_.Modified())
            cursor->Cancel();
        else
            UpdateData();
    } catch (...) {
        setFocus();
        TErrorBox::ShowCurrent();
    }
}

// ---- scroll bars ----------------------------------------------------------

void TDBGrid::UpdateScrollBars() {
    QScrollBar *bar = verticalScrollBar();
    TRecordCursor *cursor = Cursor();
    const QSignalBlocker block(bar);
    if (!CursorHoldsRows()) {
        bar->setRange(0, 0);
        bar->setEnabled(false);
        return;
    }
    bar->setEnabled(true);
    const qint64 count = cursor->RecordCount();
    if (count >= 0) {
        bar->setRange(1, int(std::clamp<qint64>(count, 1, INT_MAX)));
        bar->setPageStep(dataRows_);
        if (cursor->State() != stInsert) {
            const qint64 number = cursor->RecNo();
            if (number > 0)
                bar->setValue(int(std::min<qint64>(number, INT_MAX)));
        }
    } else {
        bar->setRange(0, 4);
        bar->setPageStep(1);
        bar->setValue(cursor->Bof() ? 0 : cursor->Eof() ? 4 : 2);
    }
}

void TDBGrid::VerticalAction(int action) {
    TRecordCursor *cursor = Cursor();
    if (!CursorHoldsRows())
        return;
    QScrollBar *bar = verticalScrollBar();
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        MoveCursor(-CurrentRow() - 1);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        MoveCursor(link_.ShownRowCount() - CurrentRow());
        break;
    case QAbstractSlider::SliderPageStepSub:
        MoveCursor(-dataRows_);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        MoveCursor(dataRows_);
        break;
    case QAbstractSlider::SliderToMinimum:
        cursor->First();
        break;
    case QAbstractSlider::SliderToMaximum:
        cursor->Last();
        break;
    case QAbstractSlider::SliderMove:
        // A drag waits for the release; a wheel turned over the bar moves a row.
        if (!bar->isSliderDown() && bar->sliderPosition() != bar->value())
            MoveCursor(bar->sliderPosition() > bar->value() ? 1 : -1);
        break;
    default:
        break;
    }
    bar->setSliderPosition(bar->value());
    UpdateScrollBars();
}

void TDBGrid::ThumbReleased() {
    TRecordCursor *cursor = Cursor();
    if (!CursorHoldsRows())
        return;
    const int position = verticalScrollBar()->sliderPosition();
    const qint64 count = cursor->RecordCount();
    if (count >= 0) {
        if (position <= 1)
            cursor->First();
        else if (position >= count)
            cursor->Last();
        else
            cursor->SetRecNo(position);
    } else if (position == 0) {
        cursor->First();
    } else if (position == 4) {
        cursor->Last();
    } else if (position == 1 || position == 3) {
        MoveCursor(position == 1 ? -dataRows_ : dataRows_);
    }
    UpdateScrollBars();
}

void TDBGrid::scrollContentsBy(int, int) {
    // Rows scroll by moving the cursor; only the columns scroll by pixels.
    hOffset_ = horizontalScrollBar()->value();
    PlaceEditor();
    viewport()->update();
}

void TDBGrid::MakeColumnVisible(int column) {
    const QRect cell = CellRect(column, -1);
    if (cell.isEmpty())
        return;
    QScrollBar *hbar = horizontalScrollBar();
    const int left = IndicatorWidth();
    const int right = viewport()->width();
    if (cell.left() < left)
        hbar->setValue(hbar->value() - (left - cell.left()));
    else if (cell.right() >= right)
        hbar->setValue(hbar->value() + std::min(cell.right() - right + 1, cell.left() - left));
}

void TDBGrid::InvalidateRow(int row) {
    if (row < 0 || row >= dataRows_)
        return;
    viewport()->update(QRect(0, DataTop() + row * rowHeight_, viewport()->width(), rowHeight_));
}

// ---- events -----------------------------------------------------------------

bool TDBGrid::event(QEvent *event) {
    if (event->type() == QEvent::KeyPress && (options_ & dgTabs)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(key);
            if (key->isAccepted())
                return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool TDBGrid::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::Resize) {
        LayoutChanged();
        return false;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TDBGrid::paintEvent(QPaintEvent *event) {
    TGridPainter(*this).Paint(event->rect());
}

void TDBGrid::changeEvent(QEvent *event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        LayoutChanged();
    else if (event->type() == QEvent::EnabledChange)
        viewport()->update();
}

void TDBGrid::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    InvalidateRow(CurrentRow());
}

void TDBGrid::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    InvalidateRow(CurrentRow());
    QWidget *now = QApplication::focusWidget();
    if (now != editor_ && !(now && isAncestorOf(now)))
        CancelOnExit();
}

bool TDBGrid::HandleKey(QKeyEvent *event) {
    if (OnKeyDown)
        OnKeyDown(event);
    return input_->Key(*event);
}

void TDBGrid::keyPressEvent(QKeyEvent *event) {
    bool taken = false;
    TErrorBox::Guard([&] { taken = HandleKey(event); });
    if (taken) {
        event->accept();
        return;
    }
    // A character typed on a cell opens the editor and goes to it.
    if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && CursorHoldsRows() &&
        (options_ & dgEditing)) {
        ShowEditor();
        if (editorShown_)
            QApplication::sendEvent(editor_, event);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TDBGrid::mousePressEvent(QMouseEvent *event) {
    TErrorBox::Guard([&] { input_->Press(*event); });
}

void TDBGrid::mouseMoveEvent(QMouseEvent *event) {
    input_->Move(*event);
}

void TDBGrid::mouseReleaseEvent(QMouseEvent *event) {
    TErrorBox::Guard([&] { input_->Release(*event); });
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && OnDblClick)
        TErrorBox::Guard([&] { OnDblClick(); });
}

void TDBGrid::wheelEvent(QWheelEvent *event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0)
        TErrorBox::Guard([&] { MoveCursor(-notches); });
    event->accept();
}
