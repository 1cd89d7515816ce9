// kxdemoapp: shows the command line it was started with in a message window and prints it, so
// that a demo run shows the business-object URL and the login token the launcher passed.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QString text = QStringLiteral("kxdemoapp started with %1 argument(s):").arg(arguments.size());
    for (const QString& argument : arguments) {
        text += QStringLiteral("\n  [") + argument + QStringLiteral("]");
    }
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
    QMessageBox::information(nullptr, QStringLiteral("KX Vantor demo application"), text);
    return 0;
}
