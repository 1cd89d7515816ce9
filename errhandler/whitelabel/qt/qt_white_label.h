#pragma once
// The white-label step of the error library's windows: called by a window's load step, before it
// is first shown.

#include <QWidget>

namespace kx::errhandler {

// Re-brands `form` with the mappings of the white-label component (WL922_OVERRIDE::ExecuteForm
// over the Qt widgets of the form: its title, the texts of its controls, nested ones included,
// and its icon). Never throws; without the component or its mappings the form is left unchanged.
void applyWhiteLabel(QWidget& form);

}  // namespace kx::errhandler
