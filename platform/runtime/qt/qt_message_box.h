#pragma once
// The Qt dialog behind kx::MsgBox: it draws what messageBoxLayout decides (buttons, default
// button, the button Esc presses, icon), the title (empty: the application's name), and the
// prompt as plain text with its carriage returns as line breaks. The dialog is modal to the
// application. A dialog closed without a button answers as its Esc button would, or with its
// default button when it has none.

#include <cstdint>
#include <string>

namespace kx {

std::int32_t showQtMessageBox(const std::string& prompt, std::int32_t buttons,
                              const std::string& title);

// Makes showQtMessageBox the handler of kx::MsgBox. Needs a QApplication.
void installQtMessageBox();

}  // namespace kx
