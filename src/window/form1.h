// SPDX-License-Identifier: MIT
#pragma once

#include "lookup_command.h"

#include <QLocale>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sheetfind {

// How Qt writes numbers in `locale`: the window reads what the user types by Qt's
// locale data, the same data it shows numbers with.
NumberSymbols numberSymbols(const QLocale& locale);

// Tells the user why a lookup gave no caption. It may block (a modal dialog);
// the window waits for it before it puts the focus back in the failed box.
using FailureReporter = std::function<void(QWidget* window, const InputFailure& failure)>;

// The program's one window: a latitude and a longitude box, a button, and a
// large blue label for the sheet reference. Pressing the button reads the two
// boxes in the user's locale, asks the lookup command, and shows the caption or
// reports the failure. Nothing is validated while typing and nothing is kept
// between clicks.
//
// For assistive tools, each caption labels its box (QLabel buddy), every box,
// the button and the result carry an accessible name and description, and the
// result's accessible name is the reference shown, or "no sheet covers this
// point" after a lookup that found none; a failed lookup changes neither.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // Reports failures in a message box.
    explicit Form1(QWidget* parent = nullptr);
    explicit Form1(FailureReporter reportFailure, QWidget* parent = nullptr);

private:
    void cmdSheetfindClicked();
    void showCaption(const std::string& caption);

    LookupCommand m_lookup;
    FailureReporter m_reportFailure;

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* txtLat;
    QLineEdit* txtLon;
    QLabel* Label3;
    QPushButton* cmdSheetfind;
};

} // namespace sheetfind
