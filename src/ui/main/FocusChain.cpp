#include "ui/main/FocusChain.h"

#include "ui/controls/TDateTimePicker.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>

namespace {

// Watches a picker's editor for Tab and hands it to the picker, a plain
// widget, which moves the focus on as any widget does.
class TTabLeavesPicker : public QObject {
public:
    explicit TTabLeavesPicker(TDateTimePicker *picker) : QObject(picker), picker_(picker) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        QCoreApplication::sendEvent(picker_, event);
        return true;
    }

private:
    TDateTimePicker *picker_;
};

bool TakesTab(QWidget *window, QWidget *stop) {
    QWidget *taker = FocusChain::Taker(stop);
    return taker && taker->isVisibleTo(window) && taker->isEnabled() &&
           (taker->focusPolicy() & Qt::TabFocus);
}

} // namespace

namespace FocusChain {

QWidget *Taker(QWidget *control) {
    QWidget *taker = control;
    while (taker && taker->focusProxy())
        taker = taker->focusProxy();
    return taker;
}

void Chain(const std::vector<QWidget *> &controls) {
    for (size_t i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(Taker(controls[i - 1]), Taker(controls[i]));
}

int StopOf(const std::vector<QWidget *> &stops, const QWidget *widget) {
    for (const QWidget *w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        for (size_t i = 0; i < stops.size(); ++i)
            if (stops[i] == w || Taker(stops[i]) == w)
                return int(i);
    }
    return -1;
}

bool Next(QWidget *window, const std::vector<QWidget *> &stops, bool forward) {
    QWidget *focus = QApplication::focusWidget();
    if (!focus || focus->window() != window || stops.empty())
        return false;
    const Qt::FocusReason reason = forward ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    const int n = int(stops.size());
    const int at = StopOf(stops, focus);
    if (at < 0) {
        // Off the stops: the nearest stop along Qt's chain.
        for (QWidget *w = forward ? focus->nextInFocusChain() : focus->previousInFocusChain();
             w && w != focus; w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
            const int stop = StopOf(stops, w);
            if (stop >= 0 && TakesTab(window, stops[stop])) {
                stops[stop]->setFocus(reason);
                return true;
            }
        }
        return false;
    }
    for (int step = 1; step <= n; ++step) {
        QWidget *stop = stops[((at + (forward ? step : -step)) % n + n) % n];
        if (TakesTab(window, stop)) {
            stop->setFocus(reason);
            return true;
        }
    }
    return false;
}

void LeaveOnTab(TDateTimePicker *picker) {
    picker->Editor()->installEventFilter(new TTabLeavesPicker(picker));
}

} // namespace FocusChain
