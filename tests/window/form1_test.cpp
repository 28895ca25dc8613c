// SPDX-License-Identifier: MIT
#include "application_identity.h"
#include "dialog_font.h"
#include "form1.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

using sheetfind::Field;
using sheetfind::Form1;
using sheetfind::InputError;
using sheetfind::InputFailure;

namespace {

// A window whose failures are recorded instead of shown, with its controls
// found by name, as a user's assistive tool or a UI test would find them.
struct Window {
    QList<InputFailure> failures;
    std::unique_ptr<Form1> form;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtLat = nullptr;
    QLineEdit* txtLon = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* cmdSheetfind = nullptr;

    explicit Window(bool recordFailures = true) {
        if (recordFailures) {
            form = std::make_unique<Form1>(
                [this](QWidget*, const InputFailure& failure) { failures.append(failure); });
        } else {
            form = std::make_unique<Form1>();
        }
        Label1 = form->findChild<QLabel*>(QStringLiteral("Label1"));
        Label2 = form->findChild<QLabel*>(QStringLiteral("Label2"));
        txtLat = form->findChild<QLineEdit*>(QStringLiteral("txtLat"));
        txtLon = form->findChild<QLineEdit*>(QStringLiteral("txtLon"));
        Label3 = form->findChild<QLabel*>(QStringLiteral("Label3"));
        cmdSheetfind = form->findChild<QPushButton*>(QStringLiteral("cmdSheetfind"));
    }

    bool show() {
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }

    // Replaces what a box holds the way a user does: select all, then type.
    static void retype(QLineEdit* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    // Types a point that has a sheet, each box left holding a good number.
    void typeVancouver() {
        QTest::keyClicks(txtLat, QStringLiteral("49.25"));
        QTest::keyClicks(txtLon, QStringLiteral("-123.1"));
    }

    void lookUp(const QString& latitude, const QString& longitude) {
        retype(txtLat, latitude);
        retype(txtLon, longitude);
        QTest::mouseClick(cmdSheetfind, Qt::LeftButton);
    }
};

QString focusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::Canada)); }

    void startsEmptyWithTheFocusInTheLatitudeBox() {
        Window w;
        QVERIFY(w.show());
        QCOMPARE(w.form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Sheetfind Reference"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Latitude (DD.DDDDD)"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Longitude"));
        QCOMPARE(w.cmdSheetfind->text(), QStringLiteral("Sheetfind Reference"));
        QCOMPARE(w.txtLat->text(), QString());
        QCOMPARE(w.txtLon->text(), QString());
        QCOMPARE(w.Label3->text(), QString());
        QCOMPARE(focusName(), QStringLiteral("txtLat"));
    }

    void tabVisitsTheBoxesAndTheButtonOnly() {
        Window w;
        QVERIFY(w.show());
        const QStringList forward = {"txtLon", "cmdSheetfind", "txtLat", "txtLon"};
        for (const QString& expected : forward) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), expected);
        }
        const QStringList backward = {"txtLat", "cmdSheetfind", "txtLon", "txtLat"};
        for (const QString& expected : backward) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
            QCOMPARE(focusName(), expected);
        }
        for (QLabel* label : {w.Label1, w.Label2}) {
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        }
        // The result takes focus from a click only, so that its selection can be copied.
        QCOMPARE(w.Label3->focusPolicy(), Qt::ClickFocus);
    }

    void enterAndEscapeInABoxDoNothing_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("key");
        for (const char* box : {"txtLat", "txtLon"}) {
            QTest::addRow("Return in %s", box) << box << int(Qt::Key_Return);
            QTest::addRow("Enter in %s", box) << box << int(Qt::Key_Enter);
            QTest::addRow("Escape in %s", box) << box << int(Qt::Key_Escape);
        }
    }

    void enterAndEscapeInABoxDoNothing() {
        QFETCH(QString, box);
        QFETCH(int, key);
        Window w;
        QVERIFY(w.show());
        w.typeVancouver();
        auto* edit = w.form->findChild<QLineEdit*>(box);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(w.Label3->text(), QString());
        QVERIFY(w.failures.isEmpty());
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.txtLat->text(), QStringLiteral("49.25"));
        QCOMPARE(w.txtLon->text(), QStringLiteral("-123.1"));
        QCOMPARE(focusName(), box);
        QVERIFY(!w.cmdSheetfind->isDefault());
        QVERIFY(!w.cmdSheetfind->autoDefault());

        // The same texts do give a reference once the button is pressed.
        QTest::mouseClick(w.cmdSheetfind, Qt::LeftButton);
        QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
    }

    void aClickShowsTheSheet_data() {
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::addColumn<QString>("caption");
        // clang-format off
        QTest::newRow("Vancouver")   << "49.25" << "-123.1" << "092G06";
        QTest::newRow("north of 80") << "85"    << "-100"   << "";
        // clang-format on
    }

    void aClickShowsTheSheet() {
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        QFETCH(QString, caption);
        Window w;
        QVERIFY(w.show());
        w.lookUp(latitude, longitude);
        QCOMPARE(w.Label3->text(), caption);
        QVERIFY(w.failures.isEmpty());
        QCOMPARE(w.txtLat->text(), latitude);
        QCOMPARE(w.txtLon->text(), longitude);
    }

    void theFullKeyboardRoadGivesTheSheet() {
        Window w;
        QVERIFY(w.show());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("49.25"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("-123.1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("cmdSheetfind"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
    }

    void theBoxesReadTheUsersLocale() {
        const QLocale pinned;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada));
        Window w;
        QLocale::setDefault(pinned);
        QVERIFY(w.show());
        w.lookUp(QStringLiteral("49,25"), QStringLiteral("-123,1"));
        QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
    }

    void theResultLabelFitsItsCaption() {
        Window w;
        QVERIFY(w.show());
        const QRect empty(32, 96, 9, 37);
        QCOMPARE(w.Label3->geometry(), empty);

        for (int round = 0; round < 2; ++round) {
            w.lookUp(QStringLiteral("49.25"), QStringLiteral("-123.1"));
            QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
            const QFontMetrics metrics(w.Label3->font());
            const int textWidth = metrics.horizontalAdvance(QStringLiteral("092G06"));
            QCOMPARE(w.Label3->pos(), QPoint(32, 96));
            QVERIFY2(qAbs(w.Label3->width() - textWidth) <= 2,
                     qPrintable(QStringLiteral("label %1 px, text %2 px")
                                    .arg(w.Label3->width())
                                    .arg(textWidth)));
            QVERIFY(w.Label3->height() >= metrics.height());
            QVERIFY(w.form->rect().contains(w.Label3->geometry()));

            w.lookUp(QStringLiteral("85"), QStringLiteral("-123.1"));
            QCOMPARE(w.Label3->text(), QString());
            QCOMPARE(w.Label3->geometry(), empty);
        }
    }

    void theResultIsLargeBlueText() {
        Window w;
        const QFontInfo info(w.Label3->font());
        QCOMPARE(w.Label3->font().family(), QStringLiteral("MS Sans Serif"));
        // Named explicitly, not left to fontconfig's choice (DejaVu Sans on Debian).
        QCOMPARE(info.family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(info.pointSize(), 24);
        QCOMPARE(info.weight(), int(QFont::Normal));
        QVERIFY(!info.italic());
        QVERIFY(!info.underline());
        QVERIFY(!info.strikeOut());
        QCOMPARE(w.Label3->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        // The other controls keep the platform's font.
        QCOMPARE(w.Label1->font(), QApplication::font(w.Label1));
        QCOMPARE(w.txtLat->font(), QApplication::font(w.txtLat));
        QCOMPARE(w.cmdSheetfind->font(), QApplication::font(w.cmdSheetfind));
    }

    // Twips over 15, worked out by hand.
    void theLayoutAt96Dpi_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("txtLat") << "txtLat" << QRect(16, 40, 209, 19);
        QTest::newRow("txtLon") << "txtLon" << QRect(256, 40, 217, 19);
        QTest::newRow("Label3 empty") << "Label3" << QRect(32, 96, 9, 37);
        QTest::newRow("cmdSheetfind") << "cmdSheetfind" << QRect(296, 152, 161, 33);
    }

    void theLayoutAt96Dpi() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        Window w;
        QVERIFY(w.show());
        QCOMPARE(w.form->logicalDpiX(), 96);
        QCOMPARE(w.form->findChild<QWidget*>(name)->geometry(), geometry);
    }

    void theWindowHasAFixedSize() {
        Window w;
        QVERIFY(w.show());
        QCOMPARE(w.form->size(), QSize(493, 206));
        QCOMPARE(w.form->minimumSize(), QSize(493, 206));
        QCOMPARE(w.form->maximumSize(), QSize(493, 206));
    }

    void theCaptionLabelsFitTheirCaptions() {
        Window w;
        QVERIFY(w.show());
        QCOMPARE(w.Label1->pos(), QPoint(8, 16));
        QCOMPARE(w.Label2->pos(), QPoint(256, 16));
        for (QLabel* label : {w.Label1, w.Label2}) {
            const QFontMetrics metrics(label->font());
            const int textWidth = metrics.horizontalAdvance(label->text());
            QVERIFY2(qAbs(label->width() - textWidth) <= 2, qPrintable(label->objectName()));
            QVERIFY(label->height() >= metrics.height());
        }
        // The latitude caption ends before the longitude column starts.
        QVERIFY(w.Label1->geometry().right() < w.Label2->x());
    }

    void aFailureIsReportedAndNothingElseChanges_data() {
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::addColumn<Field>("box");
        QTest::addColumn<InputError>("error");
        using enum Field;
        using enum InputError;
        // clang-format off
        QTest::newRow("letters in latitude")          << "abc"    << "-123.1" << Latitude  << NotANumber;
        QTest::newRow("empty latitude")               << ""       << "-123.1" << Latitude  << NotANumber;
        QTest::newRow("degrees and minutes")          << "49°15'" << "-123.1" << Latitude  << NotANumber;
        QTest::newRow("letter in longitude")          << "49.25"  << "123.1W" << Longitude << NotANumber;
        QTest::newRow("empty longitude")              << "49.25"  << ""       << Longitude << NotANumber;
        QTest::newRow("both bad")                     << "abc"    << "xyz"    << Latitude  << NotANumber;
        QTest::newRow("bad latitude, huge longitude") << "abc"    << "1e400"  << Latitude  << NotANumber;
        QTest::newRow("huge latitude")                << "1e400"  << "-123.1" << Latitude  << TooLarge;
        QTest::newRow("huge longitude")               << "49.25"  << "-1e400" << Longitude << TooLarge;
        // clang-format on
    }

    void aFailureIsReportedAndNothingElseChanges() {
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        QFETCH(Field, box);
        QFETCH(InputError, error);
        Window w;
        QVERIFY(w.show());
        w.lookUp(QStringLiteral("49.25"), QStringLiteral("-123.1"));
        QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
        const QRect shown = w.Label3->geometry();

        w.lookUp(latitude, longitude);

        QCOMPARE(w.failures.size(), 1);
        const InputFailure& failure = w.failures.front();
        QCOMPARE(failure.field, box);
        QCOMPARE(failure.error, error);
        QCOMPARE(QString::fromStdString(failure.text),
                 box == Field::Latitude ? latitude : longitude);
        QVERIFY(describe(failure).starts_with(error == InputError::TooLarge ? "Overflow: "
                                                                            : "Type mismatch: "));
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
        QCOMPARE(w.Label3->geometry(), shown);
        QCOMPARE(w.txtLat->text(), latitude);
        QCOMPARE(w.txtLon->text(), longitude);
        QLineEdit* failed = box == Field::Latitude ? w.txtLat : w.txtLon;
        QCOMPARE(focusName(), failed->objectName());
        QCOMPARE(failed->selectedText(), failed->text());

        // Typing over the selection replaces the bad text at once.
        const QString retyped =
            box == Field::Latitude ? QStringLiteral("68") : QStringLiteral("-97");
        QTest::keyClicks(failed, retyped);
        QCOMPARE(failed->text(), retyped);
    }

    void bothBoxesHoldAtMost256Characters() {
        Window w;
        QCOMPARE(w.txtLat->maxLength(), 256);
        QCOMPARE(w.txtLon->maxLength(), 256);
    }

    // However a long text arrives, the box keeps its first 256 characters, and a
    // click reads them as it reads any text. The digits row shows the kept part is
    // the start: cut anywhere else, it would not read as 49.25.
    void aLongTextKeepsItsFirst256Characters_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        const QString letters(100'000, QLatin1Char('x'));
        const QString digits = QStringLiteral("49.25") + QString(99'995, QLatin1Char('0'));
        const QString typed(300, QLatin1Char('x'));
        // clang-format off
        QTest::newRow("100000 letters pasted into txtLat") << "txtLat" << "paste"   << letters << "";
        QTest::newRow("100000 letters pasted into txtLon") << "txtLon" << "paste"   << letters << "";
        QTest::newRow("100000 letters set in txtLat")      << "txtLat" << "setText" << letters << "";
        QTest::newRow("100000 letters set in txtLon")      << "txtLon" << "setText" << letters << "";
        QTest::newRow("49.25 and 99995 zeros pasted")      << "txtLat" << "paste"   << digits  << "092G06";
        QTest::newRow("300 letters typed into txtLon")     << "txtLon" << "type"    << typed   << "";
        // clang-format on
    }

    void aLongTextKeepsItsFirst256Characters() {
        QFETCH(QString, box);
        QFETCH(QString, how);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        Window w;
        QVERIFY(w.show());
        w.typeVancouver();
        auto* edit = w.form->findChild<QLineEdit*>(box);
        Window::retype(edit, QString());
        if (how == QStringLiteral("paste")) {
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        } else if (how == QStringLiteral("setText")) {
            edit->setText(text);
        } else {
            QTest::keyClicks(edit, text);
        }
        QCOMPARE(edit->text(), text.left(256));

        QTest::mouseClick(w.cmdSheetfind, Qt::LeftButton);
        QCOMPARE(w.Label3->text(), caption);
        if (caption.isEmpty()) {
            // Each of these texts is a wrong number, reported like any other.
            QCOMPARE(w.failures.size(), 1);
            const Field failed =
                box == QStringLiteral("txtLat") ? Field::Latitude : Field::Longitude;
            QCOMPARE(w.failures.front().field, failed);
            QCOMPARE(w.failures.front().error, InputError::NotANumber);
            QCOMPARE(QString::fromStdString(w.failures.front().text), text.left(256));
            QCOMPARE(focusName(), box);
            QCOMPARE(edit->selectedText(), text.left(256));
        } else {
            QVERIFY(w.failures.isEmpty());
        }
    }

    // The default reporter is a real modal message box; it is closed from a timer
    // the way a user would press its OK button.
    void theRealMessageBoxIsShownAndClosed() {
        Window w(false);
        QVERIFY(w.show());
        w.lookUp(QStringLiteral("49.25"), QStringLiteral("-123.1"));

        QString title;
        QString text;
        Qt::TextFormat format = Qt::AutoText;
        int seen = 0;
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, &closer, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            ++seen;
            title = box->windowTitle();
            text = box->text();
            format = box->textFormat();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        closer.start();
        QTimer::singleShot(10'000, &closer, [] {
            if (QWidget* stuck = QApplication::activeModalWidget()) {
                stuck->close();
            }
        });

        // Markup typed by the user must reach the dialog as typed, not as markup.
        Window::retype(w.txtLat, QStringLiteral("<b>49</b>"));
        QTest::mouseClick(w.cmdSheetfind, Qt::LeftButton);
        closer.stop();

        QCOMPARE(seen, 1);
        QCOMPARE(title, QStringLiteral("Sheetfind Reference"));
        QVERIFY2(text.contains(QStringLiteral("Type mismatch")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("latitude")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\"<b>49</b>\"")), qPrintable(text));
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.Label3->text(), QStringLiteral("092G06"));
        QTRY_COMPARE(focusName(), QStringLiteral("txtLat"));
        QCOMPARE(w.txtLat->selectedText(), QStringLiteral("<b>49</b>"));
    }

    void theWindowCarriesTheIcon() {
        Window w;
        QList<QSize> sizes = w.form->windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](QSize a, QSize b) { return a.width() < b.width(); });
        const QList<QSize> drawn = {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
        // A size appears only once its picture has been read from the resources.
        QCOMPARE(sizes, drawn);
    }

    void theApplicationIdNamesTheDesktopFiles() {
        sheetfind::identifyApplication();
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Sheetfind"));
        // What users see: MAJOR.MINOR, the minor number in two digits.
        QCOMPARE(QCoreApplication::applicationVersion(),
                 QStringLiteral("%1.%2")
                     .arg(sheetfind::kVersionMajor)
                     .arg(sheetfind::kVersionMinor, 2, 10, QLatin1Char('0')));
        const QDir res(QStringLiteral(SHEETFIND_RES_DIR));
        const QString id = QGuiApplication::desktopFileName();
        QVERIFY(QFileInfo::exists(res.filePath(id + QStringLiteral(".desktop"))));
        // The metainfo is configured from this template with the release version.
        QVERIFY(QFileInfo::exists(res.filePath(id + QStringLiteral(".metainfo.xml.in"))));
    }

    // The platform's default font as fontconfig may resolve it, and the face the
    // controls then get.
    void theControlsFontIsProportional_data() {
        QTest::addColumn<QString>("platformFamily");
        QTest::addColumn<QString>("shownFamily");
        QTest::newRow("monospaced: DejaVu Sans") << "Liberation Mono"
                                                 << "DejaVu Sans";
        QTest::newRow("proportional: kept") << "Liberation Sans"
                                            << "Liberation Sans";
    }

    void theControlsFontIsProportional() {
        QFETCH(QString, platformFamily);
        QFETCH(QString, shownFamily);
        const QFont platformFont = QApplication::font();
        QFont font = platformFont;
        font.setFamily(platformFamily);
        QApplication::setFont(font);
        sheetfind::useProportionalDialogFont();
        Window w;
        const QFontInfo shown(w.cmdSheetfind->font());
        QApplication::setFont(platformFont);
        QCOMPARE(shown.family(), shownFamily);
        QVERIFY(!shown.fixedPitch());
        QCOMPARE(shown.pointSizeF(), font.pointSizeF());
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
