#pragma once
// The Qt dialog behind kx::MsgBox: buttons, icon and default button as the old runtime's
// constants combine them, the title (empty: the application's name), and the prompt as plain
// text with carriage returns (alone or before a line feed) shown as line breaks. The dialog is
// modal to the application. A dialog closed without a button answers as its Esc button would,
// or with its default button when it has none.

#include <cstdint>
#include <string>

namespace kx::launcher::qt {

std::int32_t showQtMessageBox(const std::string& prompt, std::int32_t buttons,
                              const std::string& title);

// Makes showQtMessageBox the handler of kx::MsgBox. Needs a QApplication.
void installQtMessageBox();

// The prompt with CR LF and lone CR turned into line feeds.
std::string lineBreaksOfPrompt(const std::string& prompt);

}  // namespace kx::launcher::qt
