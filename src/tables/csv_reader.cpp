// SPDX-License-Identifier: MIT
#include "csv_reader.h"

#include <csv.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace sheetfind {
namespace {

// RFC 4180 keeps every byte of a field: nothing is a blank to trim.
int noSpace(unsigned char) {
    return 0;
}

// libcsv grows a field's buffer by a fixed block at a time, which would copy a long
// field over and over; these keep the buffer's capacity in front of it and double
// it. Refusing past the limit makes libcsv stop with CSV_ENOMEM instead of holding
// the rest of a file whose quote never closes.
constexpr std::size_t kCapacityHeader = alignof(std::max_align_t);

void* growField(void* data, std::size_t size) {
    if (size > CsvReader::kMaxRecordBytes) {
        return nullptr;
    }
    char* block = data == nullptr ? nullptr : static_cast<char*>(data) - kCapacityHeader;
    std::size_t capacity = 0;
    if (block != nullptr) {
        std::memcpy(&capacity, block, sizeof capacity);
    }
    if (size <= capacity) {
        return data;
    }
    const std::size_t grown = std::min(std::max(size, 2 * capacity), CsvReader::kMaxRecordBytes);
    char* bigger = static_cast<char*>(std::realloc(block, kCapacityHeader + grown));
    if (bigger == nullptr) {
        return nullptr;
    }
    std::memcpy(bigger, &grown, sizeof grown);
    return bigger + kCapacityHeader;
}

void freeField(void* data) {
    if (data != nullptr) {
        std::free(static_cast<char*>(data) - kCapacityHeader);
    }
}

// The first buffer of a field; most fields of a table fit.
constexpr std::size_t kFieldBlock = 256;

} // namespace

CsvReader::CsvReader(char delimiter, Handler handler)
    : m_parser(std::make_unique<csv_parser>()), m_handler(std::move(handler)) {
    // Every line end is reported, so that a blank line is a record; CRLF is put
    // back together in end().
    csv_init(m_parser.get(), CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
    csv_set_delim(m_parser.get(), static_cast<unsigned char>(delimiter));
    csv_set_space_func(m_parser.get(), noSpace);
    csv_set_realloc_func(m_parser.get(), growField);
    csv_set_free_func(m_parser.get(), freeField);
    csv_set_blk_size(m_parser.get(), kFieldBlock);
}

CsvReader::~CsvReader() {
    csv_free(m_parser.get());
}

void CsvReader::onField(void* data, std::size_t size, void* self) {
    static_cast<CsvReader*>(self)->field(
        data == nullptr ? std::string_view() : std::string_view(static_cast<char*>(data), size));
}

void CsvReader::onEnd(int terminator, void* self) {
    static_cast<CsvReader*>(self)->end(terminator);
}

void CsvReader::field(std::string_view bytes) {
    if (m_tooLong) {
        return;
    }
    handPendingCr();
    if (m_bytes.size() + bytes.size() > kMaxRecordBytes) {
        m_tooLong = true;
        return;
    }
    m_bytes += bytes;
    m_ends.push_back(m_bytes.size());
}

void CsvReader::end(int terminator) {
    if (m_tooLong) {
        return;
    }
    if (m_pendingCr) {
        m_pendingCr = false;
        // No field came since the CR: an LF now is the second half of CRLF.
        if (terminator == '\n') {
            hand(LineEnd::CrLf);
            return;
        }
        hand(LineEnd::Cr);
    }
    if (terminator == '\r') {
        m_pendingCr = true;
        return;
    }
    hand(terminator == '\n' ? LineEnd::Lf : LineEnd::None);
}

void CsvReader::handPendingCr() {
    if (m_pendingCr) {
        m_pendingCr = false;
        hand(LineEnd::Cr);
    }
}

void CsvReader::hand(LineEnd lineEnd) {
    m_fields.clear();
    std::size_t start = 0;
    for (const std::size_t fieldEnd : m_ends) {
        m_fields.emplace_back(m_bytes.data() + start, fieldEnd - start);
        start = fieldEnd;
    }
    ++m_row;
    m_handler(CsvRecord{.fields = m_fields, .row = m_row, .end = lineEnd});
    m_bytes.clear();
    m_ends.clear();
}

bool CsvReader::failed(int status) {
    if (!m_tooLong && status == 0) {
        return false;
    }
    // What came before the fault is handed on, the faulty record is not.
    if (!m_tooLong) {
        handPendingCr();
    }
    const bool tooLong = m_tooLong || csv_error(m_parser.get()) != CSV_EPARSE;
    m_error = CsvError{.kind = tooLong ? CsvError::Kind::TooLong : CsvError::Kind::Quotes,
                       .row = m_row + 1,
                       .detail = tooLong ? std::string()
                                         : std::string(csv_strerror(csv_error(m_parser.get())))};
    return true;
}

bool CsvReader::feed(std::string_view bytes) {
    if (m_error) {
        return false;
    }
    const std::size_t read =
        csv_parse(m_parser.get(), bytes.data(), bytes.size(), onField, onEnd, this);
    return !failed(read == bytes.size() ? 0 : -1);
}

bool CsvReader::finish() {
    if (m_error) {
        return false;
    }
    const int status = csv_fini(m_parser.get(), onField, onEnd, this);
    if (failed(status)) {
        return false;
    }
    handPendingCr();
    return true;
}

} // namespace sheetfind
