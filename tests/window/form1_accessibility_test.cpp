// SPDX-License-Identifier: MIT
// Form1 as an assistive tool sees it inside the process: the accessible
// interfaces Qt builds for each control, their names, roles and label
// relations, and the events sent when the result changes.

#include "form1.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <utility>

using sheetfind::Form1;
using sheetfind::InputFailure;

namespace {

// One recorded event: which control, and what changed.
struct Event {
    QString object;
    QAccessible::Event type;
};

QList<Event>& recordedEvents() {
    static QList<Event> events;
    return events;
}

void recordEvent(QAccessibleEvent* event) {
    if (QObject* object = event->object()) {
        recordedEvents().append({object->objectName(), event->type()});
    }
}

QAccessibleInterface* interfaceOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

// The objects named in an interface's relations that match the given kind.
QStringList related(QWidget* widget, QAccessible::Relation kind) {
    QStringList names;
    for (const auto& [other, relation] : interfaceOf(widget)->relations(kind)) {
        if (relation & kind) {
            names.append(other->object()->objectName());
        }
    }
    return names;
}

int nameChangesOf(const QString& object) {
    int count = 0;
    for (const Event& event : recordedEvents()) {
        count += event.object == object && event.type == QAccessible::NameChanged;
    }
    return count;
}

struct Window {
    QList<InputFailure> failures;
    std::unique_ptr<Form1> form =
        std::make_unique<Form1>([this](QWidget*, const InputFailure& f) { failures.append(f); });

    template <typename T> T* find(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QLabel* result() const { return find<QLabel>("Label3"); }

    // Without a window manager nothing activates a new window; it is done here
    // so that focus and popups behave as on a desktop.
    bool show() {
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }

    void lookUp(const QString& latitude, const QString& longitude) {
        find<QLineEdit>("txtLat")->setText(latitude);
        find<QLineEdit>("txtLon")->setText(longitude);
        QTest::mouseClick(find<QPushButton>("cmdSheetfind"), Qt::LeftButton);
    }
};

} // namespace

class Form1AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::Canada));
        // Events reach the handler only while accessibility is on, as it is once
        // a screen reader has registered.
        QAccessible::installUpdateHandler(recordEvent);
        QTRY_VERIFY2(QAccessible::isActive(),
                     "accessibility is off: run this under tests/window/with_atspi.sh");
    }

    void init() { recordedEvents().clear(); }

    void cleanupTestCase() { m_sequence.reset(); }

    void eachControlHasANameARoleAndADescription_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QAccessible::Role>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("descriptionMentions");
        // clang-format off
        QTest::newRow("txtLat")       << "txtLat"       << QAccessible::EditableText << "Latitude"            << "decimal degrees";
        QTest::newRow("txtLon")       << "txtLon"       << QAccessible::EditableText << "Longitude"           << "west negative";
        QTest::newRow("cmdSheetfind") << "cmdSheetfind" << QAccessible::Button       << "Sheetfind Reference" << "map sheet";
        QTest::newRow("Label3")       << "Label3"       << QAccessible::StaticText   << "Sheet reference"     << "map sheet";
        QTest::newRow("Label1")       << "Label1"       << QAccessible::StaticText   << "Latitude (DD.DDDDD)" << "";
        QTest::newRow("Label2")       << "Label2"       << QAccessible::StaticText   << "Longitude"           << "";
        // clang-format on
    }

    void eachControlHasANameARoleAndADescription() {
        QFETCH(QString, object);
        QFETCH(QAccessible::Role, role);
        QFETCH(QString, name);
        QFETCH(QString, descriptionMentions);
        Window w;
        QAccessibleInterface* control = interfaceOf(w.form->findChild<QWidget*>(object));
        QVERIFY(control && control->isValid());
        QCOMPARE(control->role(), role);
        QCOMPARE(control->text(QAccessible::Name), name);
        const QString description = control->text(QAccessible::Description);
        QVERIFY2(description.contains(descriptionMentions), qPrintable(description));
        QVERIFY(descriptionMentions.isEmpty() || description != name);
        QCOMPARE(control->parent()->object(), w.form.get());
    }

    void eachCaptionLabelsItsBox_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("box");
        QTest::newRow("Label1 labels txtLat") << "Label1"
                                              << "txtLat";
        QTest::newRow("Label2 labels txtLon") << "Label2"
                                              << "txtLon";
    }

    void eachCaptionLabelsItsBox() {
        QFETCH(QString, label);
        QFETCH(QString, box);
        Window w;
        QWidget* labelWidget = w.form->findChild<QLabel*>(label);
        QWidget* boxWidget = w.form->findChild<QLineEdit*>(box);
        QCOMPARE(w.form->findChild<QLabel*>(label)->buddy(), boxWidget);
        // Both directions: the box is labelled by the caption, the caption labels the box.
        QCOMPARE(related(boxWidget, QAccessible::Label), QStringList{label});
        QCOMPARE(related(labelWidget, QAccessible::Labelled), QStringList{box});
        // No mnemonic was added, so the caption on screen is unchanged.
        QVERIFY(!w.form->findChild<QLabel*>(label)->text().contains(QLatin1Char('&')));
    }

    void theButtonAndTheResultAreLabelledByNothing() {
        Window w;
        QVERIFY(related(w.find<QPushButton>("cmdSheetfind"), QAccessible::Label).isEmpty());
        QVERIFY(related(w.result(), QAccessible::Label).isEmpty());
    }

    void theButtonCanBePressedThroughItsAction() {
        Window w;
        w.find<QLineEdit>("txtLat")->setText(QStringLiteral("49.25"));
        w.find<QLineEdit>("txtLon")->setText(QStringLiteral("-123.1"));
        QAccessibleActionInterface* actions =
            interfaceOf(w.find<QPushButton>("cmdSheetfind"))->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        // The press animates the button and clicks it a moment later.
        actions->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(w.result()->text(), QStringLiteral("092G06"));
        QCOMPARE(interfaceOf(w.result())->text(QAccessible::Name), QStringLiteral("092G06"));
    }

    // Each lookup in the row runs on the same window, one after the other, so the
    // rows also show that a name goes back and forth between a reference and none.
    void theResultsNameFollowsEachLookup_data() {
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("nameChanges");
        // clang-format off
        QTest::newRow("Vancouver")                << "49.25" << "-123.1" << "092G06"                     << 1;
        QTest::newRow("north of 88")              << "89"    << "-100"   << "no sheet covers this point" << 1;
        QTest::newRow("Vancouver again")          << "49.25" << "-123.1" << "092G06"                     << 1;
        QTest::newRow("Vancouver a second time")  << "49.25" << "-123.1" << "092G06"                     << 1;
        QTest::newRow("Arctic, Resolute")         << "74.7"  << "-94.9"  << "058F11"                     << 1;
        QTest::newRow("bad latitude keeps it")    << "abc"   << "-94.9"  << "058F11"                     << 0;
        QTest::newRow("huge longitude keeps it")  << "74.7"  << "1e400"  << "058F11"                     << 0;
        // clang-format on
    }

    void theResultsNameFollowsEachLookup() {
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        QFETCH(QString, name);
        QFETCH(int, nameChanges);
        if (!m_sequence) {
            m_sequence = std::make_unique<Window>();
            // Only what the lookup sends counts, not the window's construction.
            recordedEvents().clear();
        }
        Window& w = *m_sequence;
        const int failuresBefore = int(w.failures.size());
        w.lookUp(latitude, longitude);
        QCOMPARE(interfaceOf(w.result())->text(QAccessible::Name), name);
        QCOMPARE(nameChangesOf(QStringLiteral("Label3")), nameChanges);
        // A failure is the message box's to tell; the result is left as it was.
        QCOMPARE(int(w.failures.size()) - failuresBefore, 1 - nameChanges);
        if (name.front().isDigit()) {
            QCOMPARE(w.result()->text(), name);
        } else {
            QCOMPARE(w.result()->text(), QString());
        }
    }

    // Selecting the reference with the mouse and pressing Ctrl+C copies it.
    // Selectable text must not pull the result into the Tab chain.
    void theResultIsSelectedWithTheMouseAndCopied() {
        Window w;
        QVERIFY(w.show());
        w.lookUp(QStringLiteral("49.25"), QStringLiteral("-123.1"));
        QLabel* result = w.result();
        QVERIFY(result->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QVERIFY(!(result->focusPolicy() & Qt::TabFocus));
        QGuiApplication::clipboard()->setText(QStringLiteral("something else"));

        QTest::mouseDClick(result, Qt::LeftButton, {}, result->rect().center());
        QCOMPARE(result->selectedText(), QStringLiteral("092G06"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("092G06"));
        // Tab from the result goes on along the boxes and the button.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != result);
    }

private:
    // The one window that theResultsNameFollowsEachLookup's rows share.
    std::unique_ptr<Window> m_sequence;
};

QTEST_MAIN(Form1AccessibilityTest)
#include "form1_accessibility_test.moc"
