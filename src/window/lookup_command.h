#pragma once

#include "number_reader.h"

#include <QLocale>
#include <QString>
#include <QStringView>

#include <variant>

namespace sheetfind {

// The two boxes of the window, in the order they are converted.
enum class Box { Latitude, Longitude };

// Why a lookup gave no caption: which box, which error, and what the user typed.
struct LookupFailure {
    Box box;
    ConversionError error;
    QString text;

    bool operator==(const LookupFailure&) const = default;
};

// "Type mismatch" or "Overflow": the names users know these run-time errors by.
QString errorName(ConversionError error);
// "latitude" or "longitude".
QString boxName(Box box);
// The typed text as it can safely be quoted in a one-line message: shortened to 40
// characters, and with control characters (a NUL, a stray carriage return) replaced.
QString shownText(const QString& text);
// One English sentence naming the error, the box, the text (shortened when long)
// and what was expected, e.g.
//   Type mismatch: the latitude "49°15'N" is not a number; expected decimal degrees such as 49.25
QString describe(const LookupFailure& failure, const QLocale& locale);

// The caption for the result label, or the failure that stopped the lookup.
using LookupResult = std::variant<QString, LookupFailure>;

// What pressing the button does: convert the latitude text, then the longitude
// text, and ask the grid for the 1:50 000 sheet. A bad latitude is reported even
// when the longitude is bad too. An empty caption means the point has no sheet.
class LookupCommand {
public:
    explicit LookupCommand(const QLocale& locale = QLocale());

    LookupResult run(QStringView latitudeText, QStringView longitudeText) const;

    const QLocale& locale() const { return m_reader.locale(); }

private:
    NumberReader m_reader;
};

} // namespace sheetfind
