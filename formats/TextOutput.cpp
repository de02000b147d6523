#include "TextOutput.h"

Result<> TextOutput::open(const QString &path)
{
    m_path = path;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Result<>::failure(path + QStringLiteral(": ") + m_file.errorString());
    m_buffer.assign(kFlushBytes + 4096, '\0');
    m_used = 0;
    m_total = 0;
    return {};
}

void TextOutput::patch(int64_t offset, std::string_view bytes)
{
    flush();
    if (!m_error.isEmpty())
        return;
    if (!m_file.seek(offset) || m_file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())
        || !m_file.seek(m_total))
        m_error = m_file.errorString();
}

char *TextOutput::reserve(size_t n)
{
    if (m_used + n > m_buffer.size()) {
        flush();
        if (n > m_buffer.size())
            m_buffer.resize(n);
    }
    return m_buffer.data() + m_used;
}

void TextOutput::append(std::string_view text)
{
    char *p = reserve(text.size());
    std::copy(text.begin(), text.end(), p);
    commit(p + text.size());
}

void TextOutput::maybeFlush()
{
    if (m_used >= kFlushBytes)
        flush();
}

void TextOutput::flush()
{
    if (m_used == 0)
        return;
    if (m_error.isEmpty() && m_file.write(m_buffer.data(), qint64(m_used)) != qint64(m_used))
        m_error = m_file.errorString();
    m_total += int64_t(m_used);
    m_used = 0;
}

Result<> TextOutput::close()
{
    flush();
    if (m_error.isEmpty() && !m_file.flush())
        m_error = m_file.errorString();
    m_file.close();
    if (m_error.isEmpty() && m_file.error() != QFileDevice::NoError)
        m_error = m_file.errorString();
    if (m_error.isEmpty())
        return {};
    m_file.remove();
    return Result<>::failure(m_path + QStringLiteral(": ") + m_error);
}
