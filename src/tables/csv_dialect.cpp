// SPDX-License-Identifier: MIT
#include "csv_dialect.h"

namespace sheetfind {

DelimiterDetector::DelimiterDetector() {
    for (std::size_t i = 0; i < kDelimiters.size(); ++i) {
        Candidate& candidate = m_candidates[i];
        candidate.reader =
            std::make_unique<CsvReader>(kDelimiters[i], [&candidate](const CsvRecord& record) {
                // Blank lines before the header say nothing.
                if (!candidate.fields && !record.fields.empty()) {
                    candidate.fields = record.fields.size();
                }
            });
    }
}

bool DelimiterDetector::feed(std::string_view bytes) {
    if (m_delimiter) {
        return true;
    }
    m_fed += bytes.size();
    for (Candidate& candidate : m_candidates) {
        if (!candidate.fields && !candidate.failed) {
            candidate.failed = !candidate.reader->feed(bytes);
        }
    }
    // A header longer than a record can be will be reported by the table's reader.
    return decide(m_fed > CsvReader::kMaxRecordBytes);
}

void DelimiterDetector::finish() {
    for (Candidate& candidate : m_candidates) {
        if (!m_delimiter && !candidate.fields && !candidate.failed) {
            candidate.failed = !candidate.reader->finish();
        }
    }
    decide(true);
}

bool DelimiterDetector::decide(bool atEnd) {
    if (m_delimiter) {
        return true;
    }
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < kDelimiters.size(); ++i) {
        const Candidate& candidate = m_candidates[i];
        if (!candidate.fields && !candidate.failed && !atEnd) {
            return false; // it might still split the header into more fields
        }
        if (candidate.fields && (!best || *candidate.fields > *m_candidates[*best].fields)) {
            best = i;
        }
    }
    // With no header read under any delimiter, the table's reader says what is wrong.
    m_delimiter = kDelimiters[best.value_or(0)];
    for (Candidate& candidate : m_candidates) {
        candidate.reader.reset();
    }
    return true;
}

} // namespace sheetfind
