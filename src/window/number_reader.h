#pragma once

#include <QLatin1StringView>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <variant>

namespace sheetfind {

// The two run-time errors a typed coordinate can raise.
enum class ConversionError {
    TypeMismatch, // the text is not a plain decimal number
    Overflow,     // a number, but beyond the range of a double
};

// Reads a decimal number as a user types it in a given locale.
//
// Accepted: blanks around the number, an optional sign (ASCII or the locale's),
// digits with at most one decimal separator, and an optional exponent ("e" or "E",
// a sign, digits). The decimal separator is the locale's; '.' is accepted as well
// when the locale uses another one and does not group digits with '.', because GPS
// units and web maps write 49.25 in every country.
//
// Rejected as a type mismatch: group separators ("49,250" must never become 49250),
// "inf" and "nan", the empty text, degrees-minutes-seconds and anything else. A
// number too large for a double is an overflow; one too small to tell from zero
// reads as zero, which is what it is to the precision of a coordinate.
class NumberReader {
public:
    explicit NumberReader(const QLocale& locale = QLocale());

    // How a well-formed number becomes a double: `Quick` uses std::from_chars where
    // it can and Qt's conversion for the rest; `General` always uses Qt's. Both give
    // the same result; the choice exists so that tests can compare them.
    enum class Path { Quick, General };

    std::variant<double, ConversionError> read(QStringView text, Path path = Path::Quick) const;

    const QLocale& locale() const { return m_locale; }

private:
    static std::variant<double, ConversionError> convertByQt(QLatin1StringView cText);

    QLocale m_locale;
    // The locale's symbols, fetched once: QLocale builds a new string for each.
    QString m_decimalPoint;
    QString m_negativeSign;
    QString m_positiveSign;
    bool m_dotIsDecimal = false; // '.' accepted beside the locale's own separator
    char16_t m_zeroDigit = u'0'; // the locale's native digits, if not ASCII
};

} // namespace sheetfind
