#include "lookup_command.h"

#include "sheet_reference.h"

namespace sheetfind {

QString shownText(const QString& text) {
    // A pasted megabyte should not become a megabyte-long message.
    constexpr qsizetype kShownTextLength = 40;
    QString result =
        text.size() <= kShownTextLength ? text : text.first(kShownTextLength) + QStringLiteral("…");
    for (QChar& ch : result) {
        if (ch.category() == QChar::Other_Control) {
            ch = QChar::ReplacementCharacter;
        }
    }
    return result;
}

QString errorName(ConversionError error) {
    switch (error) {
    case ConversionError::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case ConversionError::Overflow:
        return QStringLiteral("Overflow");
    }
    return {};
}

QString boxName(Box box) {
    return box == Box::Latitude ? QStringLiteral("latitude") : QStringLiteral("longitude");
}

QString describe(const LookupFailure& failure, const QLocale& locale) {
    const QString example = locale.toString(failure.box == Box::Latitude ? 49.25 : -123.1);
    const QString problem = failure.error == ConversionError::Overflow
                                ? QStringLiteral("is too large for a number")
                                : QStringLiteral("is not a number");
    return QStringLiteral("%1: the %2 \"%3\" %4; expected decimal degrees such as %5")
        .arg(errorName(failure.error), boxName(failure.box), shownText(failure.text), problem,
             example);
}

LookupCommand::LookupCommand(const QLocale& locale) : m_reader(locale) {}

LookupResult LookupCommand::run(QStringView latitudeText, QStringView longitudeText) const {
    const auto latitude = m_reader.read(latitudeText);
    if (const auto* error = std::get_if<ConversionError>(&latitude)) {
        return LookupFailure{Box::Latitude, *error, latitudeText.toString()};
    }
    const auto longitude = m_reader.read(longitudeText);
    if (const auto* error = std::get_if<ConversionError>(&longitude)) {
        return LookupFailure{Box::Longitude, *error, longitudeText.toString()};
    }
    const std::string reference =
        sheetref::sheetfindGrid(std::get<double>(longitude), std::get<double>(latitude));
    return QString::fromLatin1(reference.data(), static_cast<qsizetype>(reference.size()));
}

} // namespace sheetfind
