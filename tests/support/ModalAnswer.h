#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

// Answers the next modal dialog of type Dialog as the user would, while the
// code under test waits in the dialog's exec(): every few milliseconds it
// looks for that dialog as the active modal window and, once it is there,
// hands it to `answer` (header only).
//
// A dialog still open a while after its answer is rejected and noted in
// LeftOpen(), so that a test never hangs on it.
template <class Dialog> class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(Dialog &)> answer) : answer_(std::move(answer)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }

    bool Answered() const { return answered_; }
    bool LeftOpen() const { return leftOpen_; }

private:
    void Poll() {
        if (!answered_) {
            auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                if (++ticks_ > 1000)
                    timer_.stop();
                return;
            }
            answered_ = true;
            dialog_ = dialog;
            ticks_ = 0;
            // What the dialog posted to itself while coming up runs first,
            // as it does before anyone could type.
            QTest::qWaitForWindowExposed(dialog);
            QCoreApplication::processEvents();
            if (dialog_)
                answer_(*dialog);
            return;
        }
        if (!dialog_ || !dialog_->isVisible()) {
            timer_.stop();
        } else if (++ticks_ > 400) {
            leftOpen_ = true;
            timer_.stop();
            dialog_->reject();
        }
    }

    std::function<void(Dialog &)> answer_;
    QTimer timer_;
    QPointer<Dialog> dialog_;
    int ticks_ = 0;
    bool answered_ = false;
    bool leftOpen_ = false;
};

// What a file dialog showed when it came up.
struct ShownFileDialog {
    QString title;
    QString folder;
    QString nameBox;
    QString selectedName;
    QStringList types;
    QString type;
    QString defaultSuffix;

    static ShownFileDialog Of(QFileDialog &dialog) {
        ShownFileDialog shown;
        shown.title = dialog.windowTitle();
        shown.folder = dialog.directory().absolutePath();
        if (QLineEdit *box = NameBox(dialog)) {
            shown.nameBox = box->text();
            shown.selectedName = box->selectedText();
        }
        shown.types = dialog.nameFilters();
        shown.type = dialog.selectedNameFilter();
        shown.defaultSuffix = dialog.defaultSuffix();
        return shown;
    }

    // The name box of Qt's own file dialog.
    static QLineEdit *NameBox(QFileDialog &dialog) {
        return dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    }
};

// Types `text` into the file dialog's name box, as keys, and presses Enter.
// The keys go where the user's would: over whatever the box holds, which is
// replaced only when the dialog has it selected.
inline void TypeAndPressEnter(QFileDialog &dialog, const QString &text) {
    QLineEdit *box = ShownFileDialog::NameBox(dialog);
    if (!box) {
        dialog.reject();
        return;
    }
    QTest::keyClicks(box, text);
    // A typed path may bring up the name completion's list, which would take
    // the Enter; the user closes it first.
    if (QCompleter *completion = box->completer();
        completion && completion->popup() && completion->popup()->isVisible())
        completion->popup()->hide();
    QTest::keyClick(box, Qt::Key_Return);
}
