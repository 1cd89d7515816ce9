// The white-label step over a Qt window on the offscreen platform, with the real component.

#include "errhandler/whitelabel/qt/qt_white_label.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "errhandler/whitelabel/wl922_override.h"
#include "tests/components/whitelabel/white_label_fixture.h"
#include "tests/launcher/login/qt_test_application.h"

namespace kx::errhandler {
namespace {

// A window like the error dialog: labels, a button with a tip, a line, two grids, and a frame that
// holds a text box and a panel with a box that holds a label.
struct TestWindow {
    TestWindow() {
        window.setWindowTitle(QStringLiteral("Kestrix Error"));
        QPixmap red(16, 16);
        red.fill(Qt::red);
        window.setWindowIcon(QIcon(red));
        close->setToolTip(QStringLiteral("Close Kestrix"));
        line->setFrameShape(QFrame::HLine);
        line->setToolTip(QStringLiteral("Kestrix line"));
        grid->setHorizontalHeaderLabels({QStringLiteral("Kestrix"), QStringLiteral("Version")});
    }
    // Every text of the window after the white-label step, and its icon's colour last, joined by
    // "|".
    std::string textsAfterWhiteLabel() {
        applyWhiteLabel(window);
        std::string texts;
        for (const QString& text :
             {window.windowTitle(), explanation->text(), close->text(), close->toolTip(),
              line->toolTip(), grid->horizontalHeaderItem(0)->text(), frame->title(), edit->text(),
              nested->text(),
              numbered->horizontalHeaderItem(0) != nullptr ? QString() : QStringLiteral("1")}) {
            texts += text.toStdString() + "|";
        }
        return texts +
               window.windowIcon().pixmap(16).toImage().pixelColor(0, 0).name().toStdString();
    }

    QApplication& application = kx::test::qtTestApplication();
    QWidget window;
    QLabel* explanation = new QLabel(QStringLiteral("sent to the Kestrix support staff"), &window);
    QPushButton* close = new QPushButton(QStringLiteral("Close"), &window);
    QFrame* line = new QFrame(&window);
    QTableWidget* grid = new QTableWidget(0, 2, &window);
    QGroupBox* frame = new QGroupBox(QStringLiteral("Kestrix details"), &window);
    QLineEdit* edit = new QLineEdit(QStringLiteral("Kestrix Vantor"), frame);
    QLabel* nested = new QLabel(QStringLiteral("Kestrix nested"), new QFrame(new QWidget(frame)));
    QTableWidget* numbered = new QTableWidget(1, 1, &window);  // headings are column numbers
};

std::string mappings(const std::string& icon = "blue.ppm") {
    return "FTXT_Kestrix = Acme\nFTXT_Close = Exit\nFICO_Application = " + icon +
           "\nEADR_help@kestrix.example = help@acme.example\n"
           "WURL_http://kestrix.example = https://acme.example\n";
}

using QtWhiteLabelTest = kx::test::WhiteLabelTest;

// An icon whose file is missing or holds no picture leaves the window's own. Single texts use
// their own table, fetched again on each call.
TEST_F(QtWhiteLabelTest, MappingsReachTheWindowAndSingleTextsFetchedAgainOnEachCall) {
    kx::test::writeFile(mappingFile().parent_path() / "blue.ppm", {"P6 1 1 255\n\0\0\xFF", 14});
    kx::test::writeFile(mappingFile().parent_path() / "text.png", "not a picture");
    const std::string expected =
        "Acme Error|sent to the Acme support staff|Exit|Exit Acme|Kestrix line|Acme|Acme details|"
        "Acme Vantor|Acme nested|1|";
    for (const char* icon : {"blue.ppm", "missing.png", "text.png"}) {
        writeMappings(mappings(icon));
        EXPECT_EQ(TestWindow().textsAfterWhiteLabel(),
                  expected + (icon == std::string("blue.ppm") ? "#0000ff" : "#ff0000"))
            << icon;
    }
    WL922_OVERRIDE whiteLabel;
    EXPECT_EQ(whiteLabel.RemapText("Kestrix support"), "Acme support");
    EXPECT_EQ(whiteLabel.RemapEmail("help@kestrix.example"), "help@acme.example");
    EXPECT_EQ(whiteLabel.RemapEmail("Kestrix"), "Kestrix");
    EXPECT_EQ(whiteLabel.RemapURL("http://kestrix.example/report"), "https://acme.example/report");
    writeMappings("FTXT_Kestrix = Zenith\n");
    EXPECT_EQ(whiteLabel.RemapText("Kestrix support"), "Zenith support");
}

// Without a table of texts the other tables are not used either; a file without readable lines or
// no file at all gives the component's empty tables just the same.
TEST_F(QtWhiteLabelTest, WindowStaysAsItIsWithoutTextMappingsOrComponent) {
    writeMappings(mappings().substr(mappings().find("FICO_")));
    for (const bool registered : {true, false}) {
        if (!registered) {
            ASSERT_EQ(regsvr32("/u"), 0);
        }
        EXPECT_EQ(
            TestWindow().textsAfterWhiteLabel(),
            "Kestrix Error|sent to the Kestrix support staff|Close|Close Kestrix|Kestrix line|"
            "Kestrix|Kestrix details|Kestrix Vantor|Kestrix nested|1|#ff0000")
            << registered;
        WL922_OVERRIDE whiteLabel;
        EXPECT_EQ(whiteLabel.RemapEmail("help@kestrix.example"), "help@kestrix.example");
        EXPECT_EQ(whiteLabel.RemapURL("http://kestrix.example"), "http://kestrix.example");
    }
}

}  // namespace
}  // namespace kx::errhandler
