// SPDX-License-Identifier: MIT
// A monkey test: thousands of random keystrokes and clicks on the real window, with
// the window's promises checked after every one of them.

#include "form1.h"
#include "nts_oracle.h"
#include "number_reader.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <random>
#include <variant>

using sheetfind::Form1;
using sheetfind::InputFailure;

class Form1MonkeyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void randomActionsKeepTheWindowsPromises();

private:
    QString randomText(bool forLatitude);

    std::mt19937 m_random{20261208};
};

// Types text key by key. QTest::keyClicks handles Latin-1 only; other characters
// arrive as a key press that carries the text, as an input method delivers them.
void type(QWidget* widget, const QString& text) {
    for (const uint codePoint : text.toUcs4()) {
        if (codePoint < 0x7F) {
            QTest::keyClick(widget, static_cast<char>(codePoint));
            continue;
        }
        const QString character =
            QString::fromUcs4(reinterpret_cast<const char32_t*>(&codePoint), 1);
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, character, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, character, Qt::NoModifier);
    }
}

// Half the time a number for the box at hand (most in the grid, some not), the
// rest anything a user might type or paste.
QString Form1MonkeyTest::randomText(bool forLatitude) {
    const auto pick = [this](int n) { return static_cast<int>(m_random() % unsigned(n)); };
    std::uniform_real_distribution<double> latitude(30, 90);
    std::uniform_real_distribution<double> longitude(-150, -40);
    if (pick(2) == 0) {
        return QString::number(forLatitude ? latitude(m_random) : longitude(m_random), 'f',
                               pick(8));
    }
    switch (pick(8)) {
    case 0:
        return QString::number(latitude(m_random), 'f', pick(8));
    case 1:
        return QString::number(longitude(m_random), 'f', pick(8));
    case 2:
        return QString::number(pick(200) - 100) + QStringLiteral("e") + QString::number(pick(9));
    case 3: // other scripts, signs and symbols
        return QStringList{QStringLiteral("четыре"), QStringLiteral("北緯"),
                           QStringLiteral("٤٩٫٢٥"),  QStringLiteral("49°15'N"),
                           QStringLiteral("−123"),   QStringLiteral("1e400"),
                           QStringLiteral("nan"),    QStringLiteral("📍1")}[pick(8)];
    case 4: { // junk from the printable ASCII range
        QString junk;
        for (int n = pick(12); n > 0; --n) {
            junk += QChar(32 + pick(95));
        }
        return junk;
    }
    case 5: // very long
        return QString(500 + pick(1000), QChar(u'0' + pick(10)));
    case 6:
        return QStringLiteral(" ");
    default:
        return QString::number(pick(10));
    }
}

void Form1MonkeyTest::randomActionsKeepTheWindowsPromises() {
    qInfo("seed 20261208");
    QList<InputFailure> failures;
    Form1 form([&failures](QWidget*, const InputFailure& failure) { failures.append(failure); });
    auto* txtLat = form.findChild<QLineEdit*>(QStringLiteral("txtLat"));
    auto* txtLon = form.findChild<QLineEdit*>(QStringLiteral("txtLon"));
    auto* Label3 = form.findChild<QLabel*>(QStringLiteral("Label3"));
    auto* cmdSheetfind = form.findChild<QPushButton*>(QStringLiteral("cmdSheetfind"));
    QVERIFY(txtLat && txtLon && Label3 && cmdSheetfind);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // What a click should show, worked out apart from the window: the typed numbers
    // read in the locale, then the sheet by the independent oracle, which the window
    // shows south of 80° N only.
    const sheetfind::NumberReader numbers{sheetfind::numberSymbols(QLocale())};
    const auto expectedFor = [&](const QString& latitude,
                                 const QString& longitude) -> std::variant<QString, InputFailure> {
        const auto lat = numbers.read(latitude.toStdString(), sheetfind::Field::Latitude);
        if (const auto* failure = std::get_if<InputFailure>(&lat)) {
            return *failure;
        }
        const auto lon = numbers.read(longitude.toStdString(), sheetfind::Field::Longitude);
        if (const auto* failure = std::get_if<InputFailure>(&lon)) {
            return *failure;
        }
        constexpr double kHighArctic = 80;
        const double latitudeValue = std::get<double>(lat);
        if (!(latitudeValue < kHighArctic)) {
            return QString();
        }
        return QString::fromStdString(
            oracle::oracleReference(latitudeValue, std::get<double>(lon), oracle::Scale::Sheet));
    };
    const QRegularExpression reference(QStringLiteral("^([0-9]{3}[A-P](0[1-9]|1[0-6]))?$"));
    QString caption;
    int clicks = 0;
    int references = 0;
    for (int action = 0; action < 2000; ++action) {
        // What a click would show now, worked out before the action.
        const auto expected = expectedFor(txtLat->text(), txtLon->text());
        const qsizetype failuresBefore = failures.size();
        bool clicked = false;
        QWidget* focus = QApplication::focusWidget();
        switch (m_random() % 10) {
        case 0:
        case 1:
        case 2:
            if (focus == cmdSheetfind) {
                // Typing at the button: its Space clicks it, other keys do nothing.
                QTest::keyClick(focus, Qt::Key_Space);
                clicked = true;
            } else {
                if (m_random() % 3 != 0) {
                    // Mostly retyping over the whole text, sometimes adding to it.
                    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
                }
                type(focus, randomText(focus == txtLat));
            }
            break;
        case 3:
            QTest::keyClick(focus, Qt::Key_Tab);
            break;
        case 4:
            QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
            break;
        case 5:
            QTest::keyClick(focus, m_random() % 2 ? Qt::Key_Return : Qt::Key_Enter);
            break;
        case 6:
            QTest::keyClick(focus, Qt::Key_Escape);
            break;
        case 7: // clear the box, as a user does before retyping
            QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(focus, Qt::Key_Delete);
            break;
        case 8:
            QTest::mouseClick(cmdSheetfind, Qt::LeftButton);
            clicked = true;
            break;
        default:
            QTest::keyClick(focus, Qt::Key_Space);
            clicked = focus == cmdSheetfind;
            break;
        }

        const QString where = QStringLiteral("action %1").arg(action);
        QVERIFY2(form.isVisible(), qPrintable(where));
        QVERIFY2(QApplication::activeModalWidget() == nullptr, qPrintable(where));
        QWidget* now = QApplication::focusWidget();
        QVERIFY2(now == txtLat || now == txtLon || now == cmdSheetfind, qPrintable(where));
        QVERIFY2(reference.match(Label3->text()).hasMatch(), qPrintable(where));
        if (clicked) {
            ++clicks;
            if (const auto* shown = std::get_if<QString>(&expected)) {
                caption = *shown;
                references += caption.isEmpty() ? 0 : 1;
                QCOMPARE(failures.size(), failuresBefore);
            } else {
                QCOMPARE(failures.size(), failuresBefore + 1);
                QCOMPARE(failures.last(), std::get<InputFailure>(expected));
            }
        } else {
            QCOMPARE(failures.size(), failuresBefore);
        }
        QVERIFY2(Label3->text() == caption, qPrintable(where));
    }
    qInfo("%d clicks: %d references shown, %lld failures reported", clicks, references,
          static_cast<long long>(failures.size()));
    // The run is worth something only if it reached both outcomes many times.
    QVERIFY(references >= 20);
    QVERIFY(failures.size() >= 20);
}

QTEST_MAIN(Form1MonkeyTest)
#include "form1_monkey_test.moc"
