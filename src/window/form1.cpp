// SPDX-License-Identifier: MIT
#include "form1.h"

#include "failure_message_box.h"
#include "form1_layout.h"

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

using namespace form1;

// The icon sizes built into the program (src/window/CMakeLists.txt), each drawn
// for its size by res/make_icon.py.
constexpr std::array kWindowIconSizes{16, 24, 32, 48, 64};

// Where the classic Windows dialog face is missing (every Linux desktop),
// Liberation Sans stands in for the result: it has the same metrics as Arial, the
// face Windows itself maps MS Sans Serif to at large sizes. Without this,
// fontconfig picks DejaVu Sans, which is noticeably wider.
const QString kResultStandIn = QStringLiteral("Liberation Sans");

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Qt's logical pixels are at the standard density; Qt scales them to the screen.
constexpr QRect pixels(TwipRect rect) {
    return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
                 twipsToPixels(rect.height));
}

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

NumberSymbols numberSymbols(const QLocale& locale) {
    // A zero digit past U+FFFF takes two UTF-16 units.
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    return NumberSymbols{.decimalPoint = locale.decimalPoint().toStdString(),
                         .groupSeparator = locale.groupSeparator().toStdString(),
                         .negativeSign = locale.negativeSign().toStdString(),
                         .positiveSign = locale.positiveSign().toStdString(),
                         .zeroDigit = zero.size() == 1 ? char32_t{zero.front()} : U'0'};
}

Form1::Form1(QWidget* parent) : Form1(showFailureMessageBox, parent) {}

Form1::Form1(FailureReporter reportFailure, QWidget* parent)
    : QWidget(parent), m_lookup(numberSymbols(QLocale())),
      m_reportFailure(std::move(reportFailure)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(text(kTitle));
    QIcon icon;
    for (const int size : kWindowIconSizes) {
        icon.addFile(QStringLiteral(":/sheetfind/sheetfind-%1.png").arg(size));
    }
    setWindowIcon(icon);
    setFixedSize(pixels(kClientArea).size());

    Label1 = new QLabel(text(kLatitudeCaption), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(pixels(kLabel1));
    fitToCaption(Label1);

    Label2 = new QLabel(text(kLongitudeCaption), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    Label2->setGeometry(pixels(kLabel2));
    fitToCaption(Label2);

    txtLat = new QLineEdit(this);
    txtLat->setObjectName(QStringLiteral("txtLat"));
    txtLat->setGeometry(pixels(kTxtLat));
    txtLat->setMaxLength(kMaxBoxLength);
    txtLat->setAccessibleName(kLatitudeName);
    txtLat->setAccessibleDescription(kLatitudeDescription);
    // The caption labels the box for assistive tools. It has no mnemonic, so
    // nothing on screen changes.
    Label1->setBuddy(txtLat);

    txtLon = new QLineEdit(this);
    txtLon->setObjectName(QStringLiteral("txtLon"));
    txtLon->setGeometry(pixels(kTxtLon));
    txtLon->setMaxLength(kMaxBoxLength);
    txtLon->setAccessibleName(kLongitudeName);
    txtLon->setAccessibleDescription(kLongitudeDescription);
    Label2->setBuddy(txtLon);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setTextFormat(Qt::PlainText);
    QFont::insertSubstitution(text(kResultFamily), kResultStandIn);
    QFont resultFont(text(kResultFamily), kResultPointSize, QFont::Normal, false);
    resultFont.setStyleHint(QFont::SansSerif);
    Label3->setFont(resultFont);
    QPalette resultPalette = Label3->palette();
    resultPalette.setColor(QPalette::WindowText, QColor::fromRgb(kResultRgb));
    Label3->setPalette(resultPalette);
    Label3->setGeometry(pixels(kLabel3));
    Label3->setAccessibleName(kResultName);
    Label3->setAccessibleDescription(kResultDescription);
    // The reference can be selected with the mouse and copied with Ctrl+C. That
    // gives the label click focus, which copying needs, but no Tab focus: Tab
    // still visits the two boxes and the button only.
    Label3->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3->setFocusPolicy(Qt::ClickFocus);

    cmdSheetfind = new QPushButton(text(kButtonCaption), this);
    cmdSheetfind->setObjectName(QStringLiteral("cmdSheetfind"));
    cmdSheetfind->setAccessibleName(cmdSheetfind->text());
    cmdSheetfind->setAccessibleDescription(kButtonDescription);
    cmdSheetfind->setGeometry(pixels(kCmdSheetfind));
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
    const LookupResult result =
        m_lookup.run(txtLat->text().toStdString(), txtLon->text().toStdString());
    if (const auto* caption = std::get_if<std::string>(&result)) {
        showCaption(*caption);
        return;
    }
    const auto& failure = std::get<InputFailure>(result);
    m_reportFailure(this, failure);
    // Straight back to the box at fault, its text selected, ready to be retyped.
    // Without a window manager (a kiosk, Xvfb) nothing hands the activation back
    // from the closed dialog, so the window takes it back itself.
    QLineEdit* box = boxAtFault(failure) == Box::Latitude ? txtLat : txtLon;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    activateWindow();
}

void Form1::showCaption(const std::string& reference) {
    const QString caption = text(reference);
    Label3->setText(caption);
    // Setting the name sends QAccessible::NameChanged, on which a screen reader
    // reads the new answer; Qt 6.4 has no event that announces text by itself.
    Label3->setAccessibleName(caption.isEmpty() ? kNoSheetName : caption);
    if (caption.isEmpty()) {
        Label3->setGeometry(pixels(kLabel3));
    } else {
        fitToCaption(Label3);
    }
}

} // namespace sheetfind
