#include "ui/controls/TDBLookupComboBox.h"

#include "data/DataSource.h"
#include "data/DatabaseErrors.h"
#include "data/Field.h"
#include "data/RecordCursor.h"
#include "ui/controls/TErrorBox.h"
#include "ui/controls/TFieldTraits.h"
#include "ui/controls/TPopupDataList.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>

namespace {

constexpr int kDefaultWidth = 145;
constexpr int kBorder = 2; // the sunken border, at each side

// Key values count as the same only when both are null or both compare equal.
bool SameKey(const TValue &a, const TValue &b) {
    if (ValueIsNull(a) || ValueIsNull(b))
        return ValueIsNull(a) && ValueIsNull(b);
    return a == b;
}

} // namespace

TDBLookupComboBox::TDBLookupComboBox(QWidget *parent) : QWidget(parent), dataLink_(this) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    dataLink_.OnActiveChange = [this] { DataSideChanged(); };
    dataLink_.OnDataChange = [this] { KeyFromRow(); };
    listLink_.OnActiveChange = [this] { ListSideChanged(); };
    listLink_.OnLayoutChange = [this] { ListSideChanged(); };
    list_ = new TPopupDataList(this);
    list_->hide();
    list_->OnCloseRequest = [this](bool accept) { Guarded([this, accept] { CloseUp(accept); }); };
    resize(kDefaultWidth, height());
    FixHeight();
}

TDBLookupComboBox::~TDBLookupComboBox() {
    // The links outlive this body; nothing may call back into a half-gone control.
    dataLink_.OnActiveChange = nullptr;
    dataLink_.OnDataChange = nullptr;
    listLink_.OnActiveChange = nullptr;
    listLink_.OnLayoutChange = nullptr;
    list_->Detach();
}

// ---------------------------------------------------------------------------
// Properties

void TDBLookupComboBox::SetDataSource(TDataSource *source) {
    dataLink_.SetDataSource(source);
    DataSideChanged();
}

void TDBLookupComboBox::SetDataField(const QString &name) {
    dataLink_.SetFieldName(name);
    DataSideChanged();
}

void TDBLookupComboBox::SetListSource(TDataSource *source) {
    if (source == listLink_.DataSource())
        return;
    listLink_.SetDataSource(source);
    ListSideChanged();
}

void TDBLookupComboBox::SetKeyField(const QString &name) {
    if (name == keyFieldName_)
        return;
    keyFieldName_ = name;
    ListSideChanged();
}

void TDBLookupComboBox::SetListField(const QString &names) {
    if (names == listFieldName_)
        return;
    listFieldName_ = names;
    ListSideChanged();
}

void TDBLookupComboBox::SetListFieldIndex(int index) {
    if (index == listFieldIndex_)
        return;
    listFieldIndex_ = index;
    ListSideChanged();
}

TRecordCursor *TDBLookupComboBox::ListCursor() const {
    return listLink_.Active() ? listLink_.DataSet() : nullptr;
}

bool TDBLookupComboBox::CanModify() const {
    if (!listActive_ || dataLink_.ReadOnly())
        return false;
    return !dataLink_.DataSource() || (MasterField() && dataLink_.CanModify());
}

// ---------------------------------------------------------------------------
// Data side and list side

void TDBLookupComboBox::CheckCircular() const {
    const TRecordCursor *list = listLink_.DataSet();
    const TDataSource *data = dataLink_.DataSource();
    if (list && data && list->IsLinkedTo(data))
        throw EDatabaseError(QStringLiteral("Circular datalinks are not allowed"));
}

void TDBLookupComboBox::DataSideChanged() {
    if (dataLink_.Active() && !dataLink_.FieldName().isEmpty())
        CheckCircular();
    KeyFromRow();
}

void TDBLookupComboBox::ListSideChanged() {
    listActive_ = false;
    keyField_ = nullptr;
    listField_ = nullptr;
    listFields_.clear();
    try {
        ResolveListFields();
    } catch (...) {
        // The list stays inactive; the text must not go on showing the old name.
        keyField_ = nullptr;
        ListShownChanged();
        throw;
    }
    ListShownChanged();
}

void TDBLookupComboBox::ResolveListFields() {
    TRecordCursor *cursor = ListCursor();
    if (!cursor || keyFieldName_.isEmpty())
        return;
    CheckCircular();
    keyField_ = cursor->FindField(keyFieldName_);
    if (!keyField_)
        throw EDatabaseError(PrefixedMessage(
            objectName(), QStringLiteral("Field '%1' not found").arg(keyFieldName_)));
    std::vector<TField *> fields;
    for (const QString &name : listFieldName_.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        TField *field = cursor->FindField(name.trimmed());
        if (!field)
            throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(objectName()));
        fields.push_back(field);
    }
    if (fields.empty())
        fields.push_back(keyField_);
    listFields_ = fields;
    listField_ = listFieldIndex_ >= 0 && listFieldIndex_ < int(listFields_.size())
                     ? listFields_[size_t(listFieldIndex_)]
                     : listFields_.front();
    listActive_ = true;
}

void TDBLookupComboBox::ListShownChanged() {
    if (!listActive_ && listVisible_) {
        list_->hide();
        list_->Detach();
        listVisible_ = false;
    }
    UpdateText();
}

void TDBLookupComboBox::KeyFromRow() {
    TField *master = MasterField();
    SetKey(master ? master->Value() : TValue());
}

void TDBLookupComboBox::SetKey(const TValue &key) {
    if (SameKey(key, key_))
        return;
    key_ = ValueIsNull(key) ? TValue() : key;
    UpdateText();
}

bool TDBLookupComboBox::LocateKey() {
    TRecordCursor *cursor = ListCursor();
    if (ValueIsNull(key_) || !cursor || !keyField_)
        return false;
    try {
        return cursor->Locate(keyField_->FieldName(), key_);
    } catch (const EError &) {
        return false;
    }
}

void TDBLookupComboBox::UpdateText() {
    text_.clear();
    alignment_ = Qt::AlignLeft;
    if (listActive_ && LocateKey()) {
        text_ = listField_->TextValue();
        alignment_ = TFieldTraits::Alignment(*listField_);
    }
    update();
}

// ---------------------------------------------------------------------------
// Selection

void TDBLookupComboBox::SelectKey(const TValue &key) {
    if (TField *master = MasterField()) {
        // The key goes into the field at once; the field's change notice
        // brings it back as the shown key.
        if (dataLink_.EditRequest())
            master->SetValue(key);
    } else if (!dataLink_.DataSource()) {
        SetKey(key);
    }
    update();
    if (OnClick)
        OnClick(*this);
}

void TDBLookupComboBox::SearchKey(QChar c) {
    TRecordCursor *cursor = ListCursor();
    if (!cursor || !listField_ || !TLookupSearch::Searchable(*listField_))
        return;
    if (c == QChar(8) || c == QChar(27)) {
        search_.Clear();
        return;
    }
    if (c.unicode() < 32 || !CanModify())
        return;
    if (search_.Extend(c, *cursor, *listField_))
        SelectKey(keyField_->Value());
}

void TDBLookupComboBox::Guarded(const std::function<void()> &action) {
    try {
        action();
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
}

// ---------------------------------------------------------------------------
// Drop-down list

void TDBLookupComboBox::DropDown() {
    if (listVisible_ || !listActive_)
        return;
    if (OnDropDown)
        OnDropDown(*this);
    if (!listActive_)
        return;
    list_->setPalette(palette());
    list_->setFont(font());
    list_->SetReadOnly(!CanModify());
    QString names;
    int index = 0;
    for (size_t i = 0; i < listFields_.size(); ++i) {
        names += listFields_[i]->FieldName() + QLatin1Char(';');
        if (listFields_[i] == listField_)
            index = int(i);
    }
    list_->Attach(ListSource(), keyFieldName_, names, index, dropDownRows_, key_);

    // With room for DropDownRows rows, a list cursor holding fewer buffers
    // them all: that is its record count.
    int rows = list_->RowCount();
    const TRecordCursor *cursor = ListCursor();
    const int held = cursor ? cursor->BufferedRowCount() : 0;
    const bool allHeld = held > 0 && held < rows;
    if (allHeld)
        rows = held;
    list_->SetRowCount(rows);
    list_->ScrollBar()->setVisible(!allHeld);

    const int w = dropDownWidth_ > 0 ? dropDownWidth_ : width();
    const int h = list_->HeightFor(list_->RowCount());
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    int top = origin.y() + height();
    const QScreen *shownOn = screen();
    const int screenBottom = shownOn ? shownOn->geometry().bottom() + 1 : top + h;
    if (top + h > screenBottom)
        top = origin.y() - h;
    int left = origin.x();
    if (dropDownAlign_ == TDropDownAlign::Right)
        left += width() - w;
    else if (dropDownAlign_ == TDropDownAlign::Center)
        left += (width() - w) / 2;
    list_->setGeometry(left, top, w, h);
    list_->show();
    list_->raise();
    listVisible_ = true;
    update();
}

void TDBLookupComboBox::CloseUp(bool accept) {
    if (!listVisible_)
        return;
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
    if (isVisible() && isEnabled())
        setFocus(Qt::OtherFocusReason);
    const TValue key = list_->KeyValue();
    list_->hide();
    list_->Detach();
    listVisible_ = false;
    pressed_ = false;
    tracking_ = false;
    update();
    search_.Clear();
    if (accept && CanModify())
        SelectKey(key);
    if (OnCloseUp)
        OnCloseUp(*this);
}

// ---------------------------------------------------------------------------
// Events

void TDBLookupComboBox::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down;
    if (listVisible_) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter || (alt && arrow)) {
            Guarded([this] { CloseUp(true); });
            return;
        }
        if (key == Qt::Key_Escape) {
            Guarded([this] { CloseUp(false); });
            return;
        }
        bool taken = false;
        Guarded([&] { taken = list_->HandleKey(event); });
        if (!taken)
            QWidget::keyPressEvent(event);
        return;
    }
    if (arrow) {
        if (listActive_) {
            if (alt) {
                Guarded([this] { DropDown(); });
            } else {
                Guarded([&] {
                    TRecordCursor *cursor = ListCursor();
                    if (LocateKey())
                        cursor->MoveBy(key == Qt::Key_Up ? -1 : 1);
                    else
                        cursor->First();
                    SelectKey(keyField_->Value());
                });
            }
        }
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        if (key == Qt::Key_Escape)
            search_.Clear();
        event->ignore();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        Guarded([&] { SearchKey(text.at(0)); });
        return;
    }
    QWidget::keyPressEvent(event);
}

void TDBLookupComboBox::focusInEvent(QFocusEvent *event) {
    search_.Clear();
    QWidget::focusInEvent(event);
    update();
}

void TDBLookupComboBox::focusOutEvent(QFocusEvent *event) {
    if (listVisible_) {
        list_->hide();
        list_->Detach();
        listVisible_ = false;
        pressed_ = false;
        tracking_ = false;
        search_.Clear();
        if (OnCloseUp)
            Guarded([this] { OnCloseUp(*this); });
    }
    QWidget::focusOutEvent(event);
    update();
}

void TDBLookupComboBox::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (!hasFocus())
        return;
    if (listVisible_) {
        Guarded([this] { CloseUp(false); });
        return;
    }
    if (!listActive_)
        return;
    tracking_ = true;
    pressed_ = event->position().x() >= width() - ButtonWidth();
    Guarded([this] { DropDown(); });
}

void TDBLookupComboBox::mouseMoveEvent(QMouseEvent *event) {
    if (!tracking_ || !listVisible_)
        return;
    const QPoint global = event->globalPosition().toPoint();
    if (list_->Tracking()) {
        Guarded([&] { list_->TrackTo(global); });
        return;
    }
    if (list_->geometry().contains(global)) {
        Guarded([&] { list_->StartTracking(global); });
        return;
    }
    const bool overButton = rect().contains(event->position().toPoint()) &&
                            event->position().x() >= width() - ButtonWidth();
    if (overButton != pressed_) {
        pressed_ = overButton;
        update();
    }
}

void TDBLookupComboBox::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const bool handedOver = listVisible_ && list_->Tracking();
    tracking_ = false;
    pressed_ = false;
    update();
    if (handedOver) {
        const bool inside = list_->geometry().contains(event->globalPosition().toPoint());
        Guarded([this, inside] { CloseUp(inside && !list_->ReadOnly()); });
    }
}

void TDBLookupComboBox::changeEvent(QEvent *event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        FixHeight();
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------
// Geometry and painting

int TDBLookupComboBox::ButtonWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void TDBLookupComboBox::FixHeight() {
    setFixedHeight(fontMetrics().height() + 2 * kBorder + 4);
}

QSize TDBLookupComboBox::sizeHint() const {
    return QSize(kDefaultWidth, fontMetrics().height() + 2 * kBorder + 4);
}

void TDBLookupComboBox::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QPalette &pal = palette();
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = kBorder;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

    const int button = ButtonWidth();
    const QRect inner = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    const QRect textArea(inner.left(), inner.top(), std::max(0, inner.width() - button),
                         inner.height());
    const bool focused = hasFocus() && !listVisible_;
    if (focused)
        painter.fillRect(textArea, pal.color(QPalette::Highlight));
    QColor color = pal.color(focused ? QPalette::HighlightedText : QPalette::Text);
    if (!isEnabled())
        color = pal.color(QPalette::Disabled, QPalette::Text);
    painter.setPen(color);
    painter.save();
    painter.setClipRect(textArea);
    QRect textRect = textArea.adjusted(2, 2, 0, 0);
    int flags = Qt::AlignTop;
    if (alignment_ & Qt::AlignRight) {
        textRect.setRight(textArea.right() - 3);
        flags |= Qt::AlignRight;
    } else if (alignment_ & Qt::AlignHCenter) {
        textRect = textArea.adjusted(0, 2, 0, 0);
        flags |= Qt::AlignHCenter;
    } else {
        flags |= Qt::AlignLeft;
    }
    painter.drawText(textRect, flags, text_);
    painter.restore();
    if (focused) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = textArea;
        option.backgroundColor = pal.color(QPalette::Highlight);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }

    QStyleOptionButton buttonOption;
    buttonOption.initFrom(this);
    buttonOption.rect = QRect(inner.right() + 1 - button, inner.top(), button, inner.height());
    if (!listActive_)
        buttonOption.state &= ~QStyle::State_Enabled;
    buttonOption.state |= pressed_ ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &buttonOption, &painter, this);
    QStyleOption arrow = buttonOption;
    arrow.rect = buttonOption.rect.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
}
