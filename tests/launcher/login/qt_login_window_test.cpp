// The launcher window in Qt on the offscreen platform: layout and stacking of the panels, keys,
// the close box, the grid's double click and the install timer, through real widgets and events.
#include "launcher/login/qt/qt_login_window.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFontInfo>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QWindow>
#include <cmath>

#include "launcher/startup/login_form_design.h"
#include "tests/launcher/login/launcher_test_setup.h"
#include "tests/launcher/login/qt_test_application.h"
#include "tests/support/scripted_login_view.h"

namespace kx::launcher::qt {
namespace {

using test::rememberedLogin;

class QtLoginWindowTest : public ::testing::Test {
  protected:
    QtLoginWindowTest() : window(setup.environment()) {
        window.show();
        QWidget* top = window.window();
        top->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(top));
        EXPECT_TRUE(QTest::qWaitForWindowActive(top));
    }

    QWidget& widget(Control control) { return *window.widgetOf(control); }
    // The controls (or panels) that the window shows in its middle, from the top: over the logo,
    // in the install band and below it.
    QString shownFromTopToBottom() {
        QStringList shown;
        for (const int topTwips : {500, 2000, 3500}) {
            QWidget* w = window.window()->childAt(twipsToPixels(3000), twipsToPixels(topTwips));
            while (w != nullptr && w->parentWidget() != window.window()) {
                w = w->parentWidget();
            }
            shown << (w != nullptr ? w->objectName() : QString());
        }
        return shown.join(QLatin1Char(' '));
    }

    QApplication& application = test::qtTestApplication();  // before any widget
    test::LauncherTestSetup setup;
    test::ScriptedMessageBoxes boxes;
    QtLoginWindow window;
};

TEST_F(QtLoginWindowTest, PanelsCoverEachOtherInTheirFrontToBackOrder) {
    EXPECT_EQ(window.window()->size(), QSize(497, 274));
    EXPECT_EQ(widget(Control::frameLogin).geometry(), QRect(4, 76, 493, 193));
    EXPECT_EQ(widget(Control::Image1).geometry(), QRect(151, 8, 193, 64));
    EXPECT_EQ(shownFromTopToBottom(), QStringLiteral("Image1 frameLogin frameLogin"));
    // Controls keep their own visible setting inside a hidden panel.
    EXPECT_FALSE(window.visible(Control::frameInstall));
    EXPECT_TRUE(window.visible(Control::lblMessage));
    EXPECT_EQ(window.text(Control::lblMessage),
              "Please wait, initializing system update procedure...");
    EXPECT_EQ(window.text(Control::frameVersions),
              "Please select the application/version you want to run:");
    EXPECT_FALSE(window.enabled(Control::tmrComInstall));

    window.setVisible(Control::frameInstall, true);
    EXPECT_EQ(shownFromTopToBottom(), QStringLiteral("Image1 frameInstall frameLogin"));
    // The versions panel covers the logo and the login panel, but not the install band.
    window.setVisible(Control::frameVersions, true);
    EXPECT_EQ(shownFromTopToBottom(), QStringLiteral("frameVersions frameInstall frameVersions"));
}

TEST_F(QtLoginWindowTest, WindowFontIsArialOrItsMetricCompatibleSubstitute) {
    const QString family = QFontInfo(window.window()->font()).family();
    EXPECT_TRUE(family == QStringLiteral("Arial") || family == QStringLiteral("Liberation Sans") ||
                family == QStringLiteral("Arimo"))
        << family.toStdString();
    EXPECT_DOUBLE_EQ(window.window()->font().pointSizeF(), 9.75);
}

TEST_F(QtLoginWindowTest, PasswordShowsAsterisksAndTabFollowsTheDesignedOrder) {
    QTest::keyClicks(&widget(Control::txtPassword), QStringLiteral("abc"));
    EXPECT_EQ(static_cast<QLineEdit&>(widget(Control::txtPassword)).displayText(),
              QStringLiteral("***"));
    EXPECT_EQ(window.text(Control::txtPassword), "abc");

    widget(Control::txtFilerCode).setFocus();
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order.join(QLatin1Char(' ')),
              QStringLiteral("txtLogin txtPassword chkRemember cmdLogin cmdCancel cmdRefresh "
                             "txtFilerCode"));
}

TEST_F(QtLoginWindowTest, EnterClicksLoginOnlyWhileTheLoginPanelIsInFront) {
    int logins = 0;
    window.form().setEventProcedure(Control::cmdLogin, ControlEvent::Click, [&] { ++logins; });
    QTest::keyClick(&widget(Control::txtPassword), Qt::Key_Return);
    QTest::keyClick(&widget(Control::chkRemember), Qt::Key_Enter);
    EXPECT_EQ(logins, 2);

    window.setGridRows({"first", "second"});
    window.setVisible(Control::frameVersions, true);
    QTest::keyClick(&widget(Control::grdVersions), Qt::Key_Return);
    EXPECT_EQ(logins, 2);
}

// The message and what the unload saves are the window procedures' (frm_login_test.cpp); here the
// close box and the keys reach them.
TEST_F(QtLoginWindowTest, CloseBoxIsRefusedWhileEscClicksCancelWhichUnloadsSavingTheTick) {
    QCloseEvent request;  // what the window system sends for the close box or Alt+F4
    QApplication::sendEvent(window.window()->windowHandle(), &request);
    EXPECT_FALSE(request.isAccepted());
    EXPECT_EQ(boxes.shown().size(), 1U);
    EXPECT_TRUE(window.window()->isVisible());
    EXPECT_TRUE(window.form().isLoaded());

    QTest::keyClick(&widget(Control::chkRemember), Qt::Key_Space);
    QTest::keyClick(&widget(Control::txtLogin), Qt::Key_Escape);
    EXPECT_FALSE(window.window()->isVisible());
    EXPECT_FALSE(window.form().isLoaded());
    EXPECT_EQ(boxes.shown().size(), 1U) << "Cancel closes without a message";
    EXPECT_EQ(rememberedLogin("Remember"), "1");
}

TEST_F(QtLoginWindowTest, DoubleClickInTheGridReportsTheRowUnderThePointer) {
    std::vector<std::pair<int, int>> clicks;  // row under the pointer, current row
    window.form().setEventProcedure(Control::grdVersions, ControlEvent::DblClick, [&] {
        clicks.emplace_back(window.gridRowUnderPointer(), window.gridCurrentRow());
    });
    window.setGridRows({"Broker 2024", "Client 2024", "Client 2025"});
    window.setGridCurrentRow(0);
    window.setVisible(Control::frameVersions, true);
    auto& grid = static_cast<QTableWidget&>(widget(Control::grdVersions));

    const QRect second = grid.visualRect(grid.model()->index(1, 0));
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {},
                       QPoint(10, grid.viewport()->height() - 3));

    ASSERT_EQ(clicks.size(), 2U);
    EXPECT_EQ(clicks[0], std::make_pair(1, 1));
    EXPECT_EQ(clicks[1].first, -1);
    EXPECT_EQ(window.gridRowCount(), 3);
}

TEST_F(QtLoginWindowTest, InstallTimerTicksOnlyWhileEnabled) {
    int ticks = 0;
    window.form().setEventProcedure(Control::tmrComInstall, ControlEvent::Timer, [&] {
        ++ticks;
        window.setEnabled(Control::tmrComInstall, false);
    });
    window.setEnabled(Control::tmrComInstall, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 5000));
    window.DoEvents();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(window.enabled(Control::tmrComInstall));
}

TEST_F(QtLoginWindowTest, BarWidthsAreBoundedToTheBar) {
    window.setBarWidth(Control::prgCurrent, 1e9f);
    EXPECT_EQ(widget(Control::prgCurrent).width(), twipsToPixels(4335));
    window.setBarWidth(Control::prgCurrent, std::nanf(""));
    EXPECT_EQ(widget(Control::prgCurrent).width(), 0);
    window.setBarWidth(Control::prgTotal, 3187.5f);
    EXPECT_EQ(widget(Control::prgTotal).width(), twipsToPixels(3187));
    EXPECT_THROW(window.setBarWidth(Control::lblBytes, 10), std::logic_error);
}

}  // namespace
}  // namespace kx::launcher::qt
