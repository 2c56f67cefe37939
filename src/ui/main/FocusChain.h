#pragma once

#include <vector>

class QWidget;
class TDateTimePicker;

// The order in which Tab visits a window's controls.
//
// Qt keeps one focus chain per window and lets Tab stop at every widget on
// it that takes the focus, also at a composite control (a date picker, a tab
// widget) that hands the focus to a part of itself; an order set with
// QWidget::setTabOrder on such a composite, which takes no focus itself, is
// ignored, so the composite stays a stop where it was created. A window
// therefore walks its own list of stops: Next finds the stop that holds the
// focus and moves to the next one that can take it.
namespace FocusChain {

// The widget that really takes the keyboard focus for `control`: the end of
// its chain of focus proxies (a date picker's inner editor, a tab widget's
// tab bar), else the control itself.
QWidget *Taker(QWidget *control);

// Orders Qt's focus chain as `controls`, through the widget that takes each
// one's focus, so that nextInFocusChain() agrees with the window's stops.
void Chain(const std::vector<QWidget *> &controls);

// The stop of `stops` that holds `widget`: the innermost stop that is the
// widget, takes the focus for it, or contains it; -1 when none does.
int StopOf(const std::vector<QWidget *> &stops, const QWidget *widget);

// Moves the focus from the focus widget to the next stop (Tab) or the
// previous one (Shift+Tab) that is shown, enabled and takes the focus by
// Tab, coming round at either end. From a widget that is on no stop (a
// button that takes the focus only when clicked) the nearest stop after
// (before) it on Qt's focus chain is taken. False when the focus widget is
// not in `window` or no stop can take the focus.
bool Next(QWidget *window, const std::vector<QWidget *> &stops, bool forward);

// Tab and Shift+Tab move from the picker to the next or previous control
// instead of from one part of its date or time to the next; the parts are
// still chosen with Left and Right or by clicking.
void LeaveOnTab(TDateTimePicker *picker);

} // namespace FocusChain
