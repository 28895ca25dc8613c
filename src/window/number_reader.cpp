#include "number_reader.h"

#include <QVarLengthArray>

#include <charconv>
#include <cmath>

namespace sheetfind {
namespace {

// Holds the number rewritten in the C locale's notation: '-', ASCII digits, '.',
// 'e'. Typed coordinates fit on the stack; only pathological input reaches the heap.
using CText = QVarLengthArray<char, 64>;

bool startsWith(QStringView text, qsizetype at, const QString& symbol) {
    return !symbol.isEmpty() && text.sliced(at).startsWith(symbol);
}

} // namespace

NumberReader::NumberReader(const QLocale& locale)
    : m_locale(locale), m_decimalPoint(locale.decimalPoint()),
      m_negativeSign(locale.negativeSign()), m_positiveSign(locale.positiveSign()) {
    m_dotIsDecimal = m_decimalPoint != u"." && locale.groupSeparator() != u".";
    const QString zero = locale.zeroDigit();
    if (zero.size() == 1) {
        m_zeroDigit = zero.front().unicode();
    }
}

std::variant<double, ConversionError> NumberReader::read(QStringView text, Path path) const {
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
        if (m_zeroDigit != u'0' && ch >= m_zeroDigit && ch <= m_zeroDigit + 9) {
            return static_cast<char>('0' + (ch - m_zeroDigit));
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
        if (at < size && text[at] == u'-') {
            c.append('-');
            ++at;
        } else if (at < size && text[at] == u'+') {
            ++at;
        } else if (startsWith(text, at, m_negativeSign)) {
            c.append('-');
            at += m_negativeSign.size();
        } else if (startsWith(text, at, m_positiveSign)) {
            at += m_positiveSign.size();
        }
    };

    sign();
    qsizetype mantissaDigits = digits();
    if (startsWith(text, at, m_decimalPoint)) {
        at += m_decimalPoint.size();
        c.append('.');
        mantissaDigits += digits();
    } else if (m_dotIsDecimal && at < size && text[at] == u'.') {
        ++at;
        c.append('.');
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0) {
        return ConversionError::TypeMismatch;
    }
    if (at < size && (text[at] == u'e' || text[at] == u'E')) {
        ++at;
        c.append('e');
        sign();
        if (digits() == 0) {
            return ConversionError::TypeMismatch;
        }
    }
    if (at != size) {
        return ConversionError::TypeMismatch;
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

std::variant<double, ConversionError> NumberReader::convertByQt(QLatin1StringView cText) {
    // Qt's conversion of a well-formed C number can only fail on range: infinity
    // for an overflow, zero for an underflow.
    static const QLocale cLocale = QLocale::c();
    bool ok = false;
    const double value = cLocale.toDouble(QString(cText), &ok);
    if (std::isinf(value)) {
        return ConversionError::Overflow;
    }
    if (!ok && value == 0) {
        return cText.startsWith('-') ? -0.0 : 0.0;
    }
    return value;
}

} // namespace sheetfind
