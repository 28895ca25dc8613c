// The smallest Qt Widgets program with a window like Sheetfind's: the yardstick for
// start-up time and memory in bench/report.

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Minimal"));
    window.setWindowTitle(QStringLiteral("Minimal Window"));
    window.setFixedSize(493, 206);
    window.show();
    return QApplication::exec();
}
