#pragma once
// Builds the controls of the launcher window from its design table (login_form_design.h): one
// widget per control, placed in pixels (twips / 15), stacked front to back as designed, chained in
// the designed tab order, in the window font (Arial 9.75 pt, or the metric-compatible face that
// fontconfig substitutes for it).

#include <QTableWidget>
#include <QWidget>
#include <array>
#include <functional>

#include "launcher/startup/login_view.h"

namespace kx::launcher::qt {

// The selection grid: one column without header, whole rows selected. It remembers the row under
// the pointer at the last mouse action and reports double clicks anywhere in it, after the click
// has made the row under the pointer current.
class GridWidget final : public QTableWidget {
  public:
    explicit GridWidget(QWidget* parent);
    int rowUnderPointer() const { return pointerRow_; }
    std::function<void()> onDoubleClick;

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void notePointer(const QMouseEvent* event);
    int pointerRow_ = -1;
};

// The widget of each control, indexed by Control; null for the timer, which has no place.
using ControlWidgets = std::array<QWidget*, kControlCount>;

// Creates every control as a child of `window` and sizes the window's client area.
ControlWidgets createControls(QWidget& window);

}  // namespace kx::launcher::qt
