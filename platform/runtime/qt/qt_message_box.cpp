#include "platform/runtime/qt/qt_message_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "platform/runtime/message_box.h"

namespace kx {
namespace {

QMessageBox::StandardButton standardButtonOf(std::int32_t answer) {
    switch (answer) {
        case vbmsg::kCancel:
            return QMessageBox::Cancel;
        case vbmsg::kAbort:
            return QMessageBox::Abort;
        case vbmsg::kRetry:
            return QMessageBox::Retry;
        case vbmsg::kIgnore:
            return QMessageBox::Ignore;
        case vbmsg::kYes:
            return QMessageBox::Yes;
        case vbmsg::kNo:
            return QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon qtIconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// A box without an Esc button must be answered: Esc and the close box do nothing, where Qt would
// pick the "No" button for them.
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

std::int32_t showQtMessageBox(const std::string& prompt, std::int32_t buttons,
                              const std::string& title) {
    const MessageBoxLayout layout = messageBoxLayout(buttons);
    AnswerRequiredBox box(QApplication::activeWindow(), layout.escapeButton.has_value());
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(qtIconOf(layout.icon));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(promptLines(prompt)));
    box.setWindowTitle(title.empty() ? QApplication::applicationName()
                                     : QString::fromStdString(title));
    std::vector<QAbstractButton*> shown;
    for (const std::int32_t answer : layout.answers) {
        shown.push_back(box.addButton(standardButtonOf(answer)));
    }
    box.setDefaultButton(static_cast<QPushButton*>(shown[layout.defaultButton]));
    if (layout.escapeButton) {
        box.setEscapeButton(shown[*layout.escapeButton]);
    }
    box.exec();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (box.clickedButton() == shown[i]) {
            return layout.answers[i];
        }
    }
    return layout.answers[layout.escapeButton.value_or(layout.defaultButton)];
}

void installQtMessageBox() {
    setMessageBoxHandler(showQtMessageBox);
}

}  // namespace kx
