#include "qt_message_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "message_box.h"

namespace kx::launcher::qt {
namespace {

struct ButtonChoice {
    QMessageBox::StandardButton button;
    std::int32_t answer;
};

// Button sets and answers that only this dialog needs to name.
constexpr std::int32_t kAbortRetryIgnore = 2;
constexpr std::int32_t kYesNoCancel = 3;
constexpr std::int32_t kRetryCancel = 5;
constexpr std::int32_t kAbort = 3;
constexpr std::int32_t kRetry = 4;
constexpr std::int32_t kIgnore = 5;

// The buttons of a button set, in the order they are shown, and the one that Esc presses.
struct ButtonSet {
    std::vector<ButtonChoice> buttons;
    int escapeIndex;  // -1: Esc does nothing
};

ButtonSet buttonSetOf(std::int32_t style) {
    using SB = QMessageBox::StandardButton;
    const ButtonChoice ok{SB::Ok, vbmsg::kOK};
    const ButtonChoice cancel{SB::Cancel, vbmsg::kCancel};
    const ButtonChoice yes{SB::Yes, vbmsg::kYes};
    const ButtonChoice no{SB::No, vbmsg::kNo};
    const ButtonChoice retry{SB::Retry, kRetry};
    switch (style & 7) {
        case vbmsg::kOKCancel:
            return {{ok, cancel}, 1};
        case kAbortRetryIgnore:
            return {{{SB::Abort, kAbort}, retry, {SB::Ignore, kIgnore}}, -1};
        case kYesNoCancel:
            return {{yes, no, cancel}, 2};
        case vbmsg::kYesNo:
            return {{yes, no}, -1};
        case kRetryCancel:
            return {{retry, cancel}, 1};
        default:
            return {{ok}, 0};
    }
}

QMessageBox::Icon iconOf(std::int32_t style) {
    switch (style & 0x70) {
        case vbmsg::kCritical:
            return QMessageBox::Critical;
        case vbmsg::kQuestion:
            return QMessageBox::Question;
        case vbmsg::kExclamation:
            return QMessageBox::Warning;
        case vbmsg::kInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// A question without a Cancel button must be answered: Esc and the close box do nothing, where
// Qt would pick the "No" button for them.
class AnswerRequiredBox final : public QMessageBox {
  public:
    AnswerRequiredBox(QWidget* parent, bool escapable)
        : QMessageBox(parent), escapable_(escapable) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!escapable_ && event->matches(QKeySequence::Cancel)) {
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (!escapable_) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

  private:
    bool escapable_;
};

}  // namespace

std::string lineBreaksOfPrompt(const std::string& prompt) {
    std::string text;
    text.reserve(prompt.size());
    for (std::size_t i = 0; i < prompt.size(); ++i) {
        if (prompt[i] != '\r') {
            text += prompt[i];
        } else if (i + 1 >= prompt.size() || prompt[i + 1] != '\n') {
            text += '\n';
        }
    }
    return text;
}

std::int32_t showQtMessageBox(const std::string& prompt, std::int32_t buttons,
                              const std::string& title) {
    const ButtonSet set = buttonSetOf(buttons);
    AnswerRequiredBox box(QApplication::activeWindow(), set.escapeIndex >= 0);
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(iconOf(buttons));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(lineBreaksOfPrompt(prompt)));
    box.setWindowTitle(title.empty() ? QApplication::applicationName()
                                     : QString::fromStdString(title));
    std::vector<QAbstractButton*> shown;
    for (const ButtonChoice& choice : set.buttons) {
        shown.push_back(box.addButton(choice.button));
    }
    const auto defaultIndex = static_cast<std::size_t>((buttons >> 8) & 3);
    const std::size_t chosenDefault = defaultIndex < shown.size() ? defaultIndex : 0;
    box.setDefaultButton(static_cast<QPushButton*>(shown[chosenDefault]));
    if (set.escapeIndex >= 0) {
        box.setEscapeButton(shown[static_cast<std::size_t>(set.escapeIndex)]);
    }
    box.exec();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (box.clickedButton() == shown[i]) {
            return set.buttons[i].answer;
        }
    }
    const std::size_t fallback =
        set.escapeIndex >= 0 ? static_cast<std::size_t>(set.escapeIndex) : chosenDefault;
    return set.buttons[fallback].answer;
}

void installQtMessageBox() {
    setMessageBoxHandler(showQtMessageBox);
}

}  // namespace kx::launcher::qt
