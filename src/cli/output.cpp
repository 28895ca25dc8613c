#include "output.h"

#include <cerrno>

namespace sheetfind::cli {

Output::Output(ByteSink& sink) : m_sink(sink) {
    m_buffer.reserve(2 * kBlockSize);
}

bool Output::flush() {
    if (m_state == State::Open && !m_buffer.empty()) {
        if (const int error = m_sink.write(m_buffer); error != 0) {
            m_state = error == EPIPE ? State::Closed : State::Failed;
            m_error = error;
        }
    }
    m_buffer.clear();
    return m_state == State::Open;
}

} // namespace sheetfind::cli
