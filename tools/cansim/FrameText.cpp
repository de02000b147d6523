#include "FrameText.h"

#include <QList>

namespace frametext {

QCanBusFrame makeFrame(uint32_t id, const QByteArray &data)
{
    QCanBusFrame frame(id, data);
    frame.setExtendedFrameFormat(id > 0x7FF);
    return frame;
}

QByteArray logLine(double ms, const QCanBusFrame &frame)
{
    const QByteArray payload = frame.payload();
    QByteArray line = QByteArray::number(ms, 'f', 3);
    line += ' ';
    const int digits = frame.hasExtendedFrameFormat() ? 8 : 3;
    line += QByteArray::number(frame.frameId(), 16).toUpper().rightJustified(digits, '0');
    line += ' ';
    line += QByteArray::number(payload.size());
    for (const char b : payload) {
        line += ' ';
        line += QByteArray::number(uint8_t(b), 16).toUpper().rightJustified(2, '0');
    }
    line += '\n';
    return line;
}

std::optional<ScriptLine> parseScriptLine(const QByteArray &line, QString *error)
{
    error->clear();
    const QByteArray text = line.trimmed();
    if (text.isEmpty() || text.startsWith('#'))
        return std::nullopt;
    const QList<QByteArray> parts = text.simplified().split(' ');
    if (parts.size() < 3) {
        *error = QStringLiteral("expected '<delay ms> <ID hex> <DLC> <bytes...>'");
        return std::nullopt;
    }
    bool ok = false;
    ScriptLine out;
    out.delayMs = parts[0].toDouble(&ok);
    if (!ok || out.delayMs < 0 || out.delayMs > 86400000.0) {
        *error = QStringLiteral("bad delay '%1'").arg(QString::fromLatin1(parts[0]));
        return std::nullopt;
    }
    QByteArray idText = parts[1];
    if (idText.startsWith("0x") || idText.startsWith("0X"))
        idText = idText.mid(2);
    const uint32_t id = idText.toUInt(&ok, 16);
    if (!ok || id > 0x1FFFFFFFu) {
        *error = QStringLiteral("bad identifier '%1'").arg(QString::fromLatin1(parts[1]));
        return std::nullopt;
    }
    const int dlc = parts[2].toInt(&ok);
    if (!ok || dlc < 0 || dlc > 8) {
        *error = QStringLiteral("DLC must be 0..8, not '%1'").arg(QString::fromLatin1(parts[2]));
        return std::nullopt;
    }
    if (parts.size() - 3 != dlc) {
        *error = QStringLiteral("DLC %1 but %2 data bytes").arg(dlc).arg(parts.size() - 3);
        return std::nullopt;
    }
    QByteArray data;
    for (int i = 3; i < parts.size(); ++i) {
        const uint v = parts[i].toUInt(&ok, 16);
        if (!ok || v > 0xFF || parts[i].size() > 2) {
            *error = QStringLiteral("bad data byte '%1'").arg(QString::fromLatin1(parts[i]));
            return std::nullopt;
        }
        data.append(char(v));
    }
    out.frame = makeFrame(id, data);
    return out;
}

} // namespace frametext
