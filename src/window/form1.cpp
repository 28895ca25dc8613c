// SPDX-License-Identifier: MIT
#include "form1.h"

#include "failure_message_box.h"
#include "twips.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <array>
#include <utility>

namespace sheetfind {
namespace {

// The layout, in twips from the top left corner of the client area.
constexpr TwipRect kClientArea{0, 0, 7395, 3090};
constexpr TwipRect kLabel1{120, 240, 1590, 195};
constexpr TwipRect kLabel2{3840, 240, 705, 195};
constexpr TwipRect kTxtLat{240, 600, 3135, 285};
constexpr TwipRect kTxtLon{3840, 600, 3255, 285};
// The size of Label3 with an empty caption; with text it grows from its top left.
constexpr TwipRect kLabel3{480, 1440, 135, 555};
constexpr TwipRect kCmdSheetfind{4440, 2280, 2415, 495};

// The icon sizes built into the program (src/window/CMakeLists.txt), each drawn
// for its size by res/make_icon.py.
constexpr std::array kWindowIconSizes{16, 24, 32, 48, 64};

// The result is shown in the classic Windows dialog face. Where it is missing
// (every Linux desktop), Liberation Sans stands in: it has the same metrics as
// Arial, the face Windows itself maps MS Sans Serif to at large sizes. Without
// this, fontconfig picks DejaVu Sans, which is noticeably wider.
const QString kResultFamily = QStringLiteral("MS Sans Serif");
const QString kResultStandIn = QStringLiteral("Liberation Sans");
constexpr int kResultPointSize = 24;
const QColor kResultColour(0x00, 0x00, 0xFF);

// No coordinate needs more than a few dozen characters, even in degrees, minutes
// and seconds with every digit a double holds. The limit keeps a runaway paste
// or a stuck key from filling a box with text that every edit and repaint of the
// box then pays for over its whole length; a longer paste keeps its first part.
constexpr int kMaxBoxLength = 256;

// What a screen reader says for each control. The boxes are named without the
// "(DD.DDDDD)" of the caption, which speech would spell out letter by letter;
// the descriptions say what the caption only hints at.
const QString kLatitudeName = QStringLiteral("Latitude");
const QString kLatitudeDescription =
    QStringLiteral("Latitude in decimal degrees, north positive, for example 49.25");
const QString kLongitudeName = QStringLiteral("Longitude");
const QString kLongitudeDescription =
    QStringLiteral("Longitude in decimal degrees, west negative, for example -123.1");
const QString kButtonDescription =
    QStringLiteral("Finds the 1:50 000 map sheet that covers the latitude and longitude");
// The result's name is the reference itself once a lookup has shown one, so that
// a screen reader reading the window reads the answer. Before the first lookup
// it names what will appear there.
const QString kResultName = QStringLiteral("Sheet reference");
const QString kResultDescription =
    QStringLiteral("The 1:50 000 map sheet that covers the point, shown after each lookup");
const QString kNoSheetName = QStringLiteral("no sheet covers this point");

// Labels keep their top left corner and take the size of their caption.
void fitToCaption(QLabel* label) {
    label->resize(label->sizeHint());
}

} // namespace

Form1::Form1(QWidget* parent) : Form1(showFailureMessageBox, parent) {}

Form1::Form1(FailureReporter reportFailure, QWidget* parent)
    : QWidget(parent), m_lookup(QLocale()), m_reportFailure(std::move(reportFailure)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Sheetfind Reference"));
    QIcon icon;
    for (const int size : kWindowIconSizes) {
        icon.addFile(QStringLiteral(":/sheetfind/sheetfind-%1.png").arg(size));
    }
    setWindowIcon(icon);
    setFixedSize(twipsToPixels(kClientArea).size());

    Label1 = new QLabel(QStringLiteral("Latitude (DD.DDDDD)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(twipsToPixels(kLabel1));
    fitToCaption(Label1);

    Label2 = new QLabel(QStringLiteral("Longitude"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    Label2->setGeometry(twipsToPixels(kLabel2));
    fitToCaption(Label2);

    txtLat = new QLineEdit(this);
    txtLat->setObjectName(QStringLiteral("txtLat"));
    txtLat->setGeometry(twipsToPixels(kTxtLat));
    txtLat->setMaxLength(kMaxBoxLength);
    txtLat->setAccessibleName(kLatitudeName);
    txtLat->setAccessibleDescription(kLatitudeDescription);
    // The caption labels the box for assistive tools. It has no mnemonic, so
    // nothing on screen changes.
    Label1->setBuddy(txtLat);

    txtLon = new QLineEdit(this);
    txtLon->setObjectName(QStringLiteral("txtLon"));
    txtLon->setGeometry(twipsToPixels(kTxtLon));
    txtLon->setMaxLength(kMaxBoxLength);
    txtLon->setAccessibleName(kLongitudeName);
    txtLon->setAccessibleDescription(kLongitudeDescription);
    Label2->setBuddy(txtLon);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setTextFormat(Qt::PlainText);
    QFont::insertSubstitution(kResultFamily, kResultStandIn);
    QFont resultFont(kResultFamily, kResultPointSize, QFont::Normal, false);
    resultFont.setStyleHint(QFont::SansSerif);
    Label3->setFont(resultFont);
    QPalette resultPalette = Label3->palette();
    resultPalette.setColor(QPalette::WindowText, kResultColour);
    Label3->setPalette(resultPalette);
    Label3->setGeometry(twipsToPixels(kLabel3));
    Label3->setAccessibleName(kResultName);
    Label3->setAccessibleDescription(kResultDescription);
    // The reference can be selected with the mouse and copied with Ctrl+C. That
    // gives the label click focus, which copying needs, but no Tab focus: Tab
    // still visits the two boxes and the button only.
    Label3->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3->setFocusPolicy(Qt::ClickFocus);

    cmdSheetfind = new QPushButton(QStringLiteral("Sheetfind Reference"), this);
    cmdSheetfind->setObjectName(QStringLiteral("cmdSheetfind"));
    cmdSheetfind->setAccessibleName(cmdSheetfind->text());
    cmdSheetfind->setAccessibleDescription(kButtonDescription);
    cmdSheetfind->setGeometry(twipsToPixels(kCmdSheetfind));
    // Enter in a box must not press the button behind the user's back.
    cmdSheetfind->setAutoDefault(false);
    cmdSheetfind->setDefault(false);
    connect(cmdSheetfind, &QPushButton::clicked, this, &Form1::cmdSheetfindClicked);

    // Labels take no focus, so Tab visits the two boxes and the button only.
    setTabOrder(txtLat, txtLon);
    setTabOrder(txtLon, cmdSheetfind);
    txtLat->setFocus();
}

void Form1::cmdSheetfindClicked() {
    const LookupResult result = m_lookup.run(txtLat->text(), txtLon->text());
    if (const auto* caption = std::get_if<QString>(&result)) {
        showCaption(*caption);
        return;
    }
    const auto& failure = std::get<InputFailure>(result);
    m_reportFailure(this, failure);
    // Straight back to the box at fault, its text selected, ready to be retyped.
    // Without a window manager (a kiosk, Xvfb) nothing hands the activation back
    // from the closed dialog, so the window takes it back itself.
    QLineEdit* box = failure.field == Field::Latitude ? txtLat : txtLon;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    activateWindow();
}

void Form1::showCaption(const QString& caption) {
    Label3->setText(caption);
    // Setting the name sends QAccessible::NameChanged, on which a screen reader
    // reads the new answer; Qt 6.4 has no event that announces text by itself.
    Label3->setAccessibleName(caption.isEmpty() ? kNoSheetName : caption);
    if (caption.isEmpty()) {
        Label3->setGeometry(twipsToPixels(kLabel3));
    } else {
        fitToCaption(Label3);
    }
}

} // namespace sheetfind
