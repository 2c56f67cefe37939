#pragma once

#include "data/DataTypes.h"
#include "ui/controls/TFieldDataLink.h"
#include "ui/controls/TListSourceLink.h"
#include "ui/controls/TLookupSearch.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class TDataSource;
class TField;
class TPopupDataList;
class TRecordCursor;

// A combo box that stores the key of a chosen list row in a field of the
// bound row. The closed control shows the list field of the list row whose
// key equals the bound field; choosing another row, by the arrow keys, by
// typing the start of a name or in the drop-down list, writes that row's key
// into the field at once (after an edit request). No free text can be typed.
//
// Data side: DataSource/DataField, the field receiving the key. List side:
// ListSource (the list cursor), KeyField, ListField (names separated by ";")
// and ListFieldIndex, which of them the closed control shows.
class TDBLookupComboBox : public QWidget {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TDBLookupComboBox &)>;
    enum class TDropDownAlign { Left, Right, Center };

    explicit TDBLookupComboBox(QWidget *parent = nullptr);
    ~TDBLookupComboBox() override;

    TDataSource *DataSource() const { return dataLink_.DataSource(); }
    void SetDataSource(TDataSource *source);
    const QString &DataField() const { return dataLink_.FieldName(); }
    void SetDataField(const QString &name);
    TDataSource *ListSource() const { return listLink_.DataSource(); }
    void SetListSource(TDataSource *source);
    const QString &KeyField() const { return keyFieldName_; }
    void SetKeyField(const QString &name);
    const QString &ListField() const { return listFieldName_; }
    void SetListField(const QString &names);
    int ListFieldIndex() const { return listFieldIndex_; }
    void SetListFieldIndex(int index);
    bool ReadOnly() const { return dataLink_.ReadOnly(); }
    void SetReadOnly(bool value) { dataLink_.SetReadOnly(value); }

    int DropDownRows() const { return dropDownRows_; }
    void SetDropDownRows(int rows) { dropDownRows_ = rows; }
    int DropDownWidth() const { return dropDownWidth_; }
    void SetDropDownWidth(int width) { dropDownWidth_ = width; }
    TDropDownAlign DropDownAlign() const { return dropDownAlign_; }
    void SetDropDownAlign(TDropDownAlign align) { dropDownAlign_ = align; }

    // State, for the window and for tests.
    const QString &Text() const { return text_; }
    Qt::Alignment TextAlignment() const { return alignment_; }
    const TValue &KeyValue() const { return key_; }
    bool ListActive() const { return listActive_; }
    bool ListVisible() const { return listVisible_; }
    const QString &SearchText() const { return search_.Text(); }
    TPopupDataList *List() const { return list_; }
    // Whether a selection can be written: an active list, and a bound field
    // that may be changed (or no data source at all).
    bool CanModify() const;

    void DropDown();
    void CloseUp(bool accept);

    QSize sizeHint() const override;

    TNotifyEvent OnClick;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    TRecordCursor *ListCursor() const;
    TField *MasterField() const { return dataLink_.Field(); }
    void CheckCircular() const;
    void DataSideChanged();
    void ListSideChanged();
    void ResolveListFields();
    // After the list side changed: closes a list that went inactive and
    // refreshes the text.
    void ListShownChanged();
    void KeyFromRow();
    void SetKey(const TValue &key);
    void UpdateText();
    bool LocateKey();
    void SelectKey(const TValue &key);
    void SearchKey(QChar c);
    void FixHeight();
    int ButtonWidth() const;
    // Runs a user action; an error goes to the error box.
    void Guarded(const std::function<void()> &action);

    TFieldDataLink dataLink_;
    TListSourceLink listLink_;
    QString keyFieldName_;
    QString listFieldName_;
    int listFieldIndex_ = 0;
    TField *keyField_ = nullptr;
    TField *listField_ = nullptr;
    std::vector<TField *> listFields_;
    bool listActive_ = false;

    TValue key_;
    QString text_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    TLookupSearch search_;

    TPopupDataList *list_ = nullptr;
    bool listVisible_ = false;
    bool pressed_ = false;
    bool tracking_ = false;
    int dropDownRows_ = 7;
    int dropDownWidth_ = 0;
    TDropDownAlign dropDownAlign_ = TDropDownAlign::Left;
};
