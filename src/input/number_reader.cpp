// SPDX-License-Identifier: MIT
#include "number_reader.h"

#include <QLocale>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <charconv>
#include <cmath>

namespace sheetfind {
namespace {

// Holds the number rewritten in the C locale's notation: '-', ASCII digits, '.',
// 'e'. Typed coordinates fit on the stack; only pathological input reaches the heap.
using CText = QVarLengthArray<char, 64>;

constexpr char16_t kMinusSign = u'\u2212';

bool startsWith(QStringView text, qsizetype at, const QString& symbol) {
    return !symbol.isEmpty() && text.sliced(at).startsWith(symbol);
}

bool isAsciiSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

bool isDigit(char ch) {
    return '0' <= ch && ch <= '9';
}

std::variant<double, InputError> convertByQt(QLatin1StringView cText) {
    // Qt's conversion of a well-formed C number can only fail on range: infinity
    // for an overflow, zero for an underflow.
    static const QLocale cLocale = QLocale::c();
    bool ok = false;
    const double value = cLocale.toDouble(QString(cText), &ok);
    if (std::isinf(value)) {
        return InputError::TooLarge;
    }
    if (!ok && value == 0) {
        return cText.startsWith('-') ? -0.0 : 0.0;
    }
    return value;
}

} // namespace

struct NumberReader::Locale {
    explicit Locale(const QLocale& locale)
        : qt(locale), decimalPoint(locale.decimalPoint()), negativeSign(locale.negativeSign()),
          positiveSign(locale.positiveSign()) {
        dotIsDecimal = decimalPoint != u"." && locale.groupSeparator() != u".";
        dotAccepted = decimalPoint == u"." || dotIsDecimal;
        const QString zero = locale.zeroDigit();
        if (zero.size() == 1) {
            zeroDigit = zero.front().unicode();
        }
        style.decimalPoint = decimalPoint.toStdString();
        style.minusSign = negativeSign.toStdString();
        commaIsDecimal = decimalPoint == u",";
    }

    std::variant<double, InputError> readGeneral(QStringView text, Path path) const;
    // The same for UTF-8 text: kept apart from read() so that the quick path, which
    // needs no QString, does not pay for building and destroying one.
    std::variant<double, InputError> readGeneral(std::string_view text, Path path) const;
    // A plain ASCII number in C notation, or nullopt for anything that needs Qt.
    std::optional<double> readQuick(std::string_view text) const;

    QLocale qt;
    // The locale's symbols, fetched once: QLocale builds a new string for each.
    QString decimalPoint;
    QString negativeSign;
    QString positiveSign;
    bool dotIsDecimal = false; // '.' accepted beside the locale's own separator
    bool dotAccepted = false;  // '.' is a decimal separator here, one way or the other
    bool commaIsDecimal = false;
    char16_t zeroDigit = u'0'; // the locale's native digits, if not ASCII
    NumberStyle style;
};

std::optional<double> NumberReader::Locale::readQuick(std::string_view text) const {
    while (!text.empty() && isAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    // std::from_chars also reads "inf", "nan" and hexadecimal-free forms the general
    // grammar refuses; a number must start with a digit or a decimal point here.
    const std::size_t start = !text.empty() && text.front() == '-' ? 1 : 0;
    if (start >= text.size() || !(isDigit(text[start]) || text[start] == '.')) {
        return std::nullopt;
    }
    if (!dotAccepted && text.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::variant<double, InputError> NumberReader::Locale::readGeneral(QStringView text,
                                                                   Path path) const {
    text = text.trimmed();
    const qsizetype size = text.size();
    qsizetype at = 0;
    CText c;

    // The digit at `at`, as ASCII, or 0 when there is none.
    const auto digit = [&]() -> char {
        if (at >= size) {
            return 0;
        }
        const char16_t ch = text[at].unicode();
        if (ch >= u'0' && ch <= u'9') {
            return static_cast<char>(ch);
        }
        if (zeroDigit != u'0' && ch >= zeroDigit && ch <= zeroDigit + 9) {
            return static_cast<char>('0' + (ch - zeroDigit));
        }
        return 0;
    };
    const auto digits = [&]() {
        qsizetype count = 0;
        for (char d = digit(); d != 0; d = digit()) {
            c.append(d);
            ++at;
            ++count;
        }
        return count;
    };
    const auto sign = [&]() {
        if (at < size && (text[at] == u'-' || text[at] == kMinusSign)) {
            c.append('-');
            ++at;
        } else if (at < size && text[at] == u'+') {
            ++at;
        } else if (startsWith(text, at, negativeSign)) {
            c.append('-');
            at += negativeSign.size();
        } else if (startsWith(text, at, positiveSign)) {
            at += positiveSign.size();
        }
    };

    sign();
    qsizetype mantissaDigits = digits();
    if (startsWith(text, at, decimalPoint)) {
        at += decimalPoint.size();
        c.append('.');
        mantissaDigits += digits();
    } else if (dotIsDecimal && at < size && text[at] == u'.') {
        ++at;
        c.append('.');
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0) {
        return InputError::NotANumber;
    }
    if (at < size && (text[at] == u'e' || text[at] == u'E')) {
        ++at;
        c.append('e');
        sign();
        if (digits() == 0) {
            return InputError::NotANumber;
        }
    }
    if (at != size) {
        return InputError::NotANumber;
    }

    // The text is now a well-formed C number. Nearly every one is a plain number in
    // range, which std::from_chars converts, correctly rounded, without allocating.
    if (path == Path::Quick) {
        double value = 0;
        const auto [end, status] = std::from_chars(c.constBegin(), c.constEnd(), value);
        if (status == std::errc() && end == c.constEnd()) {
            return value;
        }
    }
    return convertByQt(QLatin1StringView(c.constData(), c.size()));
}

std::variant<double, InputError> NumberReader::Locale::readGeneral(std::string_view text,
                                                                   Path path) const {
    const QString wide = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return readGeneral(QStringView(wide), path);
}

NumberReader::NumberReader() : NumberReader(QLocale()) {}

NumberReader::NumberReader(const QLocale& locale) : m_locale(std::make_shared<Locale>(locale)) {}

NumberReader NumberReader::named(std::string_view localeName) {
    return NumberReader(
        QLocale(QString::fromUtf8(localeName.data(), static_cast<qsizetype>(localeName.size()))));
}

std::variant<double, InputError> NumberReader::read(std::string_view text, Path path) const {
    if (path == Path::Quick) {
        if (const std::optional<double> value = m_locale->readQuick(text)) {
            return *value;
        }
    }
    return m_locale->readGeneral(text, path);
}

std::variant<double, InputFailure> NumberReader::read(std::string_view text, Field field) const {
    const auto value = read(text);
    if (const auto* error = std::get_if<InputError>(&value)) {
        return failure(*error, field, text);
    }
    return std::get<double>(value);
}

InputFailure NumberReader::failure(InputError error, Field field, std::string_view text) const {
    return InputFailure{
        .error = error, .field = field, .text = std::string(text), .style = m_locale->style};
}

const NumberStyle& NumberReader::style() const {
    return m_locale->style;
}

bool NumberReader::commaIsDecimal() const {
    return m_locale->commaIsDecimal;
}

const QLocale& NumberReader::locale() const {
    return m_locale->qt;
}

} // namespace sheetfind
