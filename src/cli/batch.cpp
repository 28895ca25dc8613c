#include "batch.h"

#include "blanks.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

namespace sheetfind {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// Calls `use` with the field as UTF-16. Plain ASCII, nearly every field of a batch
// file, is widened on the stack; anything else is decoded, bad bytes becoming
// U+FFFD so that they are reported rather than dropped.
template <typename Use> auto withUtf16(std::string_view bytes, Use use) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
    if (ascii && bytes.size() <= 64) {
        std::array<char16_t, 64> wide{};
        std::copy(bytes.begin(), bytes.end(), wide.begin());
        return use(QStringView(wide.data(), static_cast<qsizetype>(bytes.size())));
    }
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return use(QStringView(text));
}

// At a terminal a block read would wait for a whole block; read up to a newline.
std::size_t readLine(std::FILE* in, std::vector<char>& block) {
    std::size_t got = 0;
    for (int ch = 0; got < block.size() && ch != '\n';) {
        ch = std::getc(in);
        if (ch == EOF) {
            break;
        }
        block[got++] = static_cast<char>(ch);
    }
    return got;
}

void appendError(std::string& out, const QString& message) {
    out += "ERROR: ";
    out += message.toStdString();
}

} // namespace

LineAnswerer::LineAnswerer(const QLocale& locale)
    : m_command(locale), m_commaSeparates(locale.decimalPoint() != QStringLiteral(",")) {}

bool LineAnswerer::answer(std::string_view line, std::string& out) const {
    std::array<std::string_view, 2> fields;
    std::size_t count = 0;
    const std::string_view text = trimBlanks(line);
    if (m_commaSeparates && text.find(',') != std::string_view::npos) {
        for (std::string_view rest = text;; ++count) {
            const std::size_t comma = rest.find(',');
            if (count < fields.size()) {
                fields[count] = trimBlanks(rest.substr(0, comma));
            }
            if (comma == std::string_view::npos) {
                ++count;
                break;
            }
            rest.remove_prefix(comma + 1);
        }
    } else {
        for (std::size_t at = 0; at < text.size();) {
            const auto end = std::find_if(text.begin() + at, text.end(), isBlank);
            const std::size_t length = static_cast<std::size_t>(end - text.begin()) - at;
            if (count < fields.size()) {
                fields[count] = text.substr(at, length);
            }
            ++count;
            at += length;
            while (at < text.size() && isBlank(text[at])) {
                ++at;
            }
        }
    }
    if (count != 2) {
        appendError(out, QStringLiteral("expected a latitude and a longitude separated by blanks "
                                        "or a comma, found %1 field%2")
                             .arg(count)
                             .arg(count == 1 ? "" : "s"));
        return false;
    }

    const LookupResult result = withUtf16(fields[0], [&](QStringView latitude) {
        return withUtf16(fields[1],
                         [&](QStringView longitude) { return m_command.run(latitude, longitude); });
    });
    if (const auto* failure = std::get_if<LookupFailure>(&result)) {
        appendError(out, describe(*failure, m_command.locale()));
        return false;
    }
    out += std::get<QString>(result).toStdString();
    return true;
}

BatchResult answerStream(std::FILE* in, std::FILE* out, const LineAnswerer& answerer,
                         BatchOptions options) {
    return answerStream(
        in, out,
        [&answerer](const InputLine& line, std::string& answers) {
            bool answered = false;
            if (line.tooLong) {
                answers += "ERROR: ";
                answers += kLineTooLong;
            } else {
                answered = answerer.answer(line.text, answers);
            }
            answers += '\n';
            return answered;
        },
        options);
}

BatchResult answerStream(std::FILE* in, std::FILE* out, const LineHandler& handle,
                         BatchOptions options) {
    BatchResult result;
    std::string pending;  // the start of a line that a block boundary cut
    bool tooLong = false; // the current line passed the limit: skip to its end
    std::string answers;
    std::vector<char> block(kBlockSize);

    const auto flush = [&] {
        if (!answers.empty() && !result.writeError &&
            std::fwrite(answers.data(), 1, answers.size(), out) != answers.size()) {
            result.writeError = true;
            result.errorNumber = errno;
        }
        answers.clear();
        if (options.interactive && !result.writeError && std::fflush(out) != 0) {
            result.writeError = true;
            result.errorNumber = errno;
        }
    };
    const auto endLine = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ++result.lines;
        if (!handle(InputLine{tooLong ? std::string_view() : line, tooLong}, answers)) {
            ++result.failures;
        }
        tooLong = false;
        pending.clear();
        if (options.interactive || answers.size() >= kBlockSize) {
            flush();
        }
    };

    while (!result.writeError) {
        const std::size_t got = options.interactive ? readLine(in, block)
                                                    : std::fread(block.data(), 1, block.size(), in);
        if (got == 0) {
            break;
        }
        std::string_view data(block.data(), got);
        for (;;) {
            const std::size_t newline = data.find('\n');
            const std::string_view piece = data.substr(0, newline);
            if (!tooLong && pending.size() + piece.size() > kMaxLineLength) {
                // Nothing more of this line is kept, however long it goes on.
                tooLong = true;
                pending.clear();
            }
            if (newline == std::string_view::npos) {
                if (!tooLong) {
                    pending.append(piece);
                }
                break;
            }
            if (pending.empty()) {
                endLine(piece);
            } else {
                pending.append(piece);
                endLine(pending);
            }
            data.remove_prefix(newline + 1);
        }
    }
    if (std::ferror(in)) {
        result.readError = true;
        result.errorNumber = errno;
    }
    if (!pending.empty() || tooLong) {
        endLine(pending); // the last line had no newline
    }
    flush();
    if (!result.writeError && (std::fflush(out) != 0 || std::ferror(out))) {
        result.writeError = true;
        result.errorNumber = errno;
    }
    return result;
}

} // namespace sheetfind
