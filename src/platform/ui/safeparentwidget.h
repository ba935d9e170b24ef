#pragma once

class QWidget;

namespace ui {

// The widget a dialog may size and place itself against: the top-level
// window of widget, or the desktop (the whole screen) when there is none.
QWidget* safeParentWidget(QWidget* widget);

} // namespace ui
