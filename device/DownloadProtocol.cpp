#include "DownloadProtocol.h"

#include <cstring>

namespace {

bool isPairChar(char c)
{
    return c >= '0' && c <= '?';
}

} // namespace

DownloadProtocol::DownloadProtocol()
    : m_buffer(kReceiveBufferSize, '\0')
    , m_image(kMemoryImageSize, '\0')
{
}

void DownloadProtocol::reset()
{
    m_received = 0;
    m_startMark = -1;
    m_endMark = -1;
}

char DownloadProtocol::requestIdentification()
{
    reset();
    m_pending = Command::Identify;
    m_identified = false;
    m_result = Result::None;
    m_progress = 0;
    return 'V';
}

char DownloadProtocol::requestArchive()
{
    reset();
    m_pending = Command::Archive;
    return 'N';
}

void DownloadProtocol::cancel()
{
    reset();
    m_progress = 0;
    m_result = Result::None;
}

std::optional<quint8> DownloadProtocol::decodePair(const char *p)
{
    if (!isPairChar(p[0]) || !isPairChar(p[1]))
        return std::nullopt;
    return quint8((p[1] - '0') * 16 + (p[0] - '0'));
}

QString DownloadProtocol::versionText(quint8 first, quint8 second, quint8 third)
{
    return QStringLiteral("%1.%2.%3")
        .arg(third, 2, 10, QLatin1Char('0'))
        .arg(second, 2, 10, QLatin1Char('0'))
        .arg(first, 2, 10, QLatin1Char('0'));
}

bool DownloadProtocol::isExpectedInstrument(const char *reply)
{
    const auto type = decodePair(reply + 1);
    const auto check = decodePair(reply + 3);
    return type == kTypeCode && check == kCheckCode;
}

std::optional<ArchiveHeader> DownloadProtocol::decodeIdentification(const char *reply, QString *error)
{
    quint8 bytes[40];
    for (int i = 0; i < 40; ++i) {
        const auto b = decodePair(reply + 1 + 2 * i);
        if (!b) {
            if (error)
                *error = QStringLiteral("Ошибка в ответе прибора: недопустимый символ в данных о приборе!");
            return std::nullopt;
        }
        bytes[i] = *b;
    }
    ArchiveHeader h;
    h.typeCode = bytes[0];
    h.checkCode = bytes[1];
    h.softwareVersion = versionText(bytes[2], bytes[3], bytes[4]);
    const int serial = bytes[5] | (bytes[6] << 8);
    h.seriesCount = bytes[7];
    for (int s = 0; s < kve::kSeriesCount; ++s)
        h.recordCounts[s] = quint16(bytes[8 + 2 * s] | (bytes[9 + 2 * s] << 8));
    if (serial > 255) {
        if (error)
            *error = QStringLiteral("Ошибка в ответе прибора: серийный номер %1 больше 255!").arg(serial);
        return std::nullopt;
    }
    h.serialNumber = quint8(serial);
    return h;
}

DownloadProtocol::Step DownloadProtocol::fail(Step step, const QString &text)
{
    reset();
    m_result = Result::BadData;
    step.result = m_result;
    step.errorText = text;
    step.stopCheckTimer = true;
    return step;
}

DownloadProtocol::Step DownloadProtocol::feed(const char *data, quint32 size)
{
    Step step;
    if (m_result != Result::None || size == 0)
        return step;

    // A "Z" from the instrument starts over; the rest of its piece is dropped.
    const void *z = std::memchr(data, 'Z', size);
    if (z) {
        reset();
        m_pending = Command::Identify;
        m_identified = false;
        step.stopCheckTimer = true;
        step.send = QByteArray(1, 'V');
        return step;
    }

    if (qint64(m_received) + size > kReceiveBufferSize)
        return fail(step, QStringLiteral("Ошибка приема: ответ прибора не помещается в буфер приема!"));
    std::memcpy(m_buffer.data() + m_received, data, size);

    for (quint32 i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == 'S') {
            step.stopCheckTimer = true;
            if (m_pending == Command::Archive && m_startMark < 0)
                m_startMark = m_received + int(i);
        } else if (c == 'P' && m_pending == Command::Archive && m_endMark < 0) {
            if (m_startMark < 0)
                return fail(step, QStringLiteral("Ошибка приема: в ответе прибора нет начала архива!"));
            m_endMark = m_received + int(i);
        }
    }
    m_received += int(size);

    if (m_pending == Command::Identify && !m_identified && m_received > kCodesJudgedAfter) {
        // The codes come first: another instrument is told as such, whatever the rest of
        // its reply holds or lacks.
        if (!isExpectedInstrument(m_buffer.constData())) {
            m_progress = 20;
            reset();
            m_result = Result::WrongInstrument;
            step.result = m_result;
            step.stopCheckTimer = true;
            return step;
        }
    }
    if (m_pending == Command::Identify && !m_identified && m_received >= kIdentificationLength) {
        QString error;
        const auto h = decodeIdentification(m_buffer.constData(), &error);
        m_progress = 20;
        if (!h)
            return fail(step, error);
        if (h->seriesCount > kve::kSeriesCount)
            return fail(step, QStringLiteral("Ошибка в ответе прибора: число серий %1 больше 16!").arg(h->seriesCount));
        m_header = *h;
        m_identified = true;
        step.identified = true;
        step.stopCheckTimer = true;
        m_progress = 80;
    }

    m_progress = 95;
    if (m_pending == Command::Archive && m_endMark >= 0)
        finishArchive(step);
    return step;
}

void DownloadProtocol::finishArchive(Step &step)
{
    const int first = m_startMark + 1;
    const int chars = m_endMark - first;
    if (chars <= 0) {
        step = fail(step, QStringLiteral("Ошибка приема: архив прибора не содержит данных!"));
        return;
    }
    if (chars % 2 != 0) {
        step = fail(step, QStringLiteral("Ошибка приема: нечетное число символов в архиве прибора!"));
        return;
    }
    const int bytes = chars / 2;
    if (bytes > kMaxImageBytes) {
        step = fail(step, QStringLiteral("Ошибка приема: архив прибора больше %1 байт!").arg(kMaxImageBytes));
        return;
    }
    const char *p = m_buffer.constData() + first;
    for (int i = 0; i < chars; ++i) {
        if (!isPairChar(p[i])) {
            step = fail(step, QStringLiteral("Ошибка приема: недопустимый символ в архиве прибора!"));
            return;
        }
    }
    qint64 promised = 0;
    for (int s = 0; s < m_header.seriesCount; ++s)
        promised += m_header.recordCounts[s];
    if (promised > 0 && 2 + 24 * promised > bytes) {
        step = fail(step, QStringLiteral("Архив прибора принят не полностью: получено %1 байт из %2!")
                              .arg(bytes).arg(2 + 24 * promised));
        return;
    }
    char *out = m_image.data();
    for (int k = 0; k < bytes; ++k)
        out[k] = char((p[2 * k + 1] - '0') * 16 + (p[2 * k] - '0'));
    m_imageLength = bytes;
    reset();
    m_progress = 100;
    m_result = Result::Success;
    step.result = m_result;
}
