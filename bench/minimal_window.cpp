// SPDX-License-Identifier: MIT
// The yardsticks for start-up time and memory in bench/report: the smallest Qt
// Widgets program with a window of Sheetfind's size, and, with --controls, the same
// window holding the stock controls Sheetfind's window holds (two labels, two line
// edits, a button and a result label) with nothing of Sheetfind's own: no lookup,
// no icon, no font. The second tells what our code adds to what the controls cost.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Window"));
    window.setFixedSize(493, 206);
    if (QApplication::arguments().contains(QStringLiteral("--controls"))) {
        (new QLabel(QStringLiteral("Latitude (DD.DDDDD)"), &window))->move(8, 16);
        (new QLabel(QStringLiteral("Longitude"), &window))->move(256, 16);
        auto* latitude = new QLineEdit(&window);
        latitude->setGeometry(16, 40, 209, 19);
        (new QLineEdit(&window))->setGeometry(256, 40, 217, 19);
        (new QLabel(&window))->setGeometry(32, 96, 9, 37);
        (new QPushButton(QStringLiteral("Sheetfind Reference"), &window))
            ->setGeometry(296, 152, 161, 33);
        latitude->setFocus();
    }
    window.show();
    return QApplication::exec();
}
