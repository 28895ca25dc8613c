// SPDX-License-Identifier: MIT
#include "output.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace sheetfind {

Output::Output(ByteSink& sink) : m_sink(sink), m_data(new char[m_capacity]) {}

void Output::grow(std::size_t more) {
    const std::size_t capacity = std::max(2 * m_capacity, m_size + more);
    std::unique_ptr<char[]> data(new char[capacity]);
    std::memcpy(data.get(), m_data.get(), m_size);
    m_data = std::move(data);
    m_capacity = capacity;
}

bool Output::flush() {
    if (m_state == State::Open && m_size != 0) {
        if (const int error = m_sink.write(std::string_view(m_data.get(), m_size)); error != 0) {
            m_state = error == EPIPE ? State::Closed : State::Failed;
            m_error = error;
        }
    }
    m_size = 0;
    return m_state == State::Open;
}

} // namespace sheetfind
