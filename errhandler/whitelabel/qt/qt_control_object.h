#pragma once
// Qt widgets as the window and control objects that WL922_OVERRIDE works on (its header lists the
// members). Which widget kinds have which member:
//
//   the window given                         Caption (its title), Controls, Icon
//   QLabel, QAbstractButton                  Caption, ToolTipText
//   QGroupBox                                Caption (its title), ToolTipText, Controls
//   QLineEdit, QPlainTextEdit                Text, ToolTipText
//   QTableWidget                             FormatString (the column headings joined by "|";
//                                            writing sets them), ToolTipText
//   containers: plain QWidget and QFrame, QStackedWidget, QSplitter, QDialogButtonBox,
//               QScrollArea (its widget), QTabWidget (its pages)   ToolTipText, Controls
//   lines (a QFrame drawn as a line)         nothing
//   any other widget                         ToolTipText
//
// No widget has XCaption1..3. The Controls of the window and of plain containers are their own
// child widgets that are not windows themselves, ordered top to bottom, then left to right, then
// by object name, so that a walk does not depend on the stacking order. Setting the window's Icon
// loads the picture file at the given path (at most kMaxIconFileSize bytes) and raises error 481
// ("Invalid picture") when it cannot. A member of a widget that has gone raises error 91.

#include <QWidget>
#include <cstdint>
#include <memory>

#include "platform/runtime/dispatch.h"

namespace kx::errhandler::qt {

inline constexpr std::int64_t kMaxIconFileSize = 4 * 1024 * 1024;

// The object for `window`, which must outlive the object's use.
std::shared_ptr<Dispatch> windowObject(QWidget& window);

}  // namespace kx::errhandler::qt
