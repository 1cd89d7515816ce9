// kxdemoapp: the application the demo catalog starts. It shows the command line it was started
// with (the business-object URL carrying the login token, then the token), and what the install
// run put in place for it: the registered demo component and the demo font. It also prints the
// command line, so that a run without a display shows it too.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>
#include <cstdio>

#include "platform/com/create_object.h"
#include "platform/runtime/run_time_error.h"

namespace {

QString componentLine() {
    try {
        const auto greeting = kx::com::CreateObject("KXDemo.Greeting");
        return QStringLiteral("Demo component: ") +
               QString::fromStdString(greeting->get("Text").asString());
    } catch (const kx::RuntimeError& error) {
        return QStringLiteral("Demo component: not available (") +
               QString::fromStdString(error.description()) + QStringLiteral(")");
    }
}

QLabel* fontSample() {
    const QString family = QStringLiteral("KX Demo 39");
    if (!QFontDatabase::families().contains(family)) {
        return new QLabel(QStringLiteral("Demo font: not installed"));
    }
    auto* sample = new QLabel(QStringLiteral("*KXDEMO*"));
    sample->setFont(QFont(family, 28));
    sample->setToolTip(QStringLiteral("Demo font: installed"));
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QString text = QStringLiteral("kxdemoapp started with %1 argument(s):").arg(arguments.size());
    for (const QString& argument : arguments) {
        text += QStringLiteral("\n  [") + argument + QStringLiteral("]");
    }
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);

    QDialog window;
    window.setWindowTitle(QStringLiteral("KX Vantor demo application"));
    auto* layout = new QVBoxLayout(&window);
    auto* commandLine = new QLabel(text);
    commandLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(commandLine);
    layout->addWidget(new QLabel(componentLine()));
    layout->addWidget(fontSample());
    layout->addWidget(new QLabel(QStringLiteral("Release " KX_DEMO_RELEASE)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    layout->addWidget(buttons);
    window.exec();
    return 0;
}
