#include "TextSupplement.h"

#include "Cp932.h"

#include <array>
#include <utility>

namespace {

const QByteArray kMagic("CKUTF8\n");
// The field is a 16-bit byte count; entries that would pass it are left out.
constexpr qsizetype kMaxBytes = 0xFFFF;

// The text fields by their number in the record.
template <class P, class T>
auto textFields(P &p, T &t)
{
    return std::array<std::pair<int, decltype(&p.t_SaveFilePath)>, 8>{{
        {34, &p.t_SaveFilePath},
        {38, &t.t_RecPlay_FilePath},
        {39, &t.t_RecPlay_FileName},
        {42, &p.t_LogSaveFilePath},
        {45, &p.t_LogComment},
        {51, &p.t_CF_Load_Name},
        {52, &p.t_CF_Load_Path},
        {54, &p.t_CF_Save_Path},
    }};
}

QString throughCp932(const QString &text)
{
    return cp932::decode(cp932::encode(text));
}

} // namespace

namespace textsupplement {

// Layout: the magic line, then per text "<field>:<byte count>:<UTF-8 bytes>".
QByteArray build(const ELM327_Info &params, const PlayTarget &target)
{
    QByteArray out;
    for (const auto &[field, text] : textFields(params, target)) {
        if (throughCp932(*text) == *text)
            continue;
        const QByteArray utf8 = text->toUtf8();
        const QByteArray entry =
            QByteArray::number(field) + ':' + QByteArray::number(utf8.size()) + ':' + utf8;
        if ((out.isEmpty() ? kMagic.size() : out.size()) + entry.size() > kMaxBytes)
            continue;
        if (out.isEmpty())
            out = kMagic;
        out += entry;
    }
    return out;
}

void apply(const QByteArray &supplement, ELM327_Info &params, PlayTarget &target)
{
    if (!supplement.startsWith(kMagic))
        return;
    const auto fields = textFields(params, target);
    qsizetype at = kMagic.size();
    while (at < supplement.size()) {
        const qsizetype colon1 = supplement.indexOf(':', at);
        const qsizetype colon2 = colon1 < 0 ? -1 : supplement.indexOf(':', colon1 + 1);
        if (colon2 < 0)
            return;
        bool okField = false;
        bool okSize = false;
        const int field = supplement.mid(at, colon1 - at).toInt(&okField);
        const qsizetype size = supplement.mid(colon1 + 1, colon2 - colon1 - 1).toLongLong(&okSize);
        if (!okField || !okSize || size < 0 || size > supplement.size() - colon2 - 1)
            return;
        const QString real = QString::fromUtf8(supplement.mid(colon2 + 1, size));
        at = colon2 + 1 + size;
        for (const auto &[number, text] : fields)
            if (number == field && *text == throughCp932(real))
                *text = real;
    }
}

} // namespace textsupplement
