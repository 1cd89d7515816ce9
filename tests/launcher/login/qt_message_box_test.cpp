// The Qt dialog behind MsgBox, shown for real on the offscreen platform and answered by pressing
// its buttons and keys.
#include "platform/runtime/qt/qt_message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/runtime/message_box.h"
#include "tests/launcher/login/qt_test_application.h"

namespace kx::launcher::qt {
namespace {

struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Shows a box through MsgBox; `act` runs once the box is up and answers it.
std::int32_t showAndAct(const std::string& prompt, std::int32_t buttons, const std::string& title,
                        SeenBox& seen, const std::function<void(QMessageBox&)>& act) {
    test::qtTestApplication();
    const ScopedMessageBoxHandler qtBoxes(showQtMessageBox);
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            ADD_FAILURE() << "no message box is shown";
            return;
        }
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            seen.buttons << button->text().remove(QLatin1Char('&'));
        }
        seen.defaultButton = box->defaultButton()->text().remove(QLatin1Char('&'));
        act(*box);
    });
    return MsgBox(prompt, buttons, title);
}

void press(QMessageBox& box, QMessageBox::StandardButton which) {
    box.button(which)->click();
}

// The box draws what messageBoxLayout decides; the prompt stays plain text.
TEST(QtMessageBox, DrawsTheDecidedBoxAndAnswersTheButtonPressed) {
    SeenBox seen;
    const auto answer = showAndAct("first\r\rsecond <b>x</b>\r\nthird",
                                   vbmsg::kYesNo + vbmsg::kQuestion + vbmsg::kDefaultButton2, "",
                                   seen, [](QMessageBox& box) { press(box, QMessageBox::Yes); });
    EXPECT_EQ(answer, vbmsg::kYes);
    EXPECT_EQ(seen.text, QStringLiteral("first\n\nsecond <b>x</b>\nthird"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_EQ(seen.defaultButton, QStringLiteral("No"));
    EXPECT_EQ(seen.title, QStringLiteral("KXVantor"));  // an empty title shows the program's name
    showAndAct("", vbmsg::kCritical, "Critical Error", seen,
               [](QMessageBox& box) { press(box, QMessageBox::Ok); });
    EXPECT_EQ(seen.title, QStringLiteral("Critical Error"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(QtMessageBox, EscapeAnswersOkOrCancelButCannotDismissAYesNoQuestion) {
    SeenBox seen;
    EXPECT_EQ(showAndAct("ok only", vbmsg::kOKOnly, "", seen,
                         [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
              vbmsg::kOK);
    EXPECT_EQ(showAndAct("ok or cancel", vbmsg::kOKCancel + 256, "", seen,
                         [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
              vbmsg::kCancel);
    EXPECT_EQ(seen.defaultButton, QStringLiteral("Cancel"));  // the second button by request
    EXPECT_EQ(showAndAct("yes or no", vbmsg::kYesNo, "", seen,
                         [](QMessageBox& box) {
                             QTest::keyClick(&box, Qt::Key_Escape);
                             EXPECT_TRUE(box.isVisible());
                             press(box, QMessageBox::Yes);
                         }),
              vbmsg::kYes);
}

}  // namespace
}  // namespace kx::launcher::qt
