#include "RecordFiles.h"

#include <algorithm>

namespace {

struct IdRange
{
    bool on;
    int32_t start;
    int32_t end;
};

// The ranges 0 … MAX of one group. MAX is a member like any other and could hold
// anything; the ranges behind it are eight.
struct RangeGroup
{
    int32_t lastIndex;
    int32_t (ELM327_Info::*on)(int16_t) const;
    int32_t (ELM327_Info::*start)(int16_t) const;
    int32_t (ELM327_Info::*end)(int16_t) const;

    int count() const { return std::clamp(lastIndex, -1, 7) + 1; }
    IdRange at(const ELM327_Info &p, int k) const
    {
        const auto i = int16_t(k);
        return {(p.*on)(i) == 1, (p.*start)(i), (p.*end)(i)};
    }
};

RangeGroup recRanges(const ELM327_Info &p)
{
    return {p.t_DisableID_Rec_MAX, &ELM327_Info::t_DisableID_Rec_ON,
            &ELM327_Info::t_DisableID_Rec_Start, &ELM327_Info::t_DisableID_Rec_End};
}

RangeGroup playRanges(const ELM327_Info &p)
{
    return {p.t_DisableID_Play_MAX, &ELM327_Info::t_DisableID_Play_ON,
            &ELM327_Info::t_DisableID_Play_Start, &ELM327_Info::t_DisableID_Play_End};
}

int32_t anyOn(const RangeGroup &g, const ELM327_Info &p)
{
    for (int k = 0; k < g.count(); ++k) {
        if (g.at(p, k).on)
            return 1;
    }
    return 0;
}

int32_t excludes(const RangeGroup &g, const ELM327_Info &p, int32_t identifier)
{
    for (int k = 0; k < g.count(); ++k) {
        const IdRange r = g.at(p, k);
        if (r.on && r.start <= identifier && identifier <= r.end)
            return 1;
    }
    return 0;
}

// Identifiers as the exclusion settings show them: 0, 005, 0FF, 100, 7FF.
QString idText(int32_t v)
{
    const QString hex = QString::number(uint32_t(v), 16).toUpper();
    if (v == 0)
        return QStringLiteral("0");
    if (v > 0 && v < 0x10)
        return QStringLiteral("00") + hex;
    if (v > 0 && v <= 0xFF)
        return QStringLiteral("0") + hex;
    return hex;
}

QString describe(const RangeGroup &g, const ELM327_Info &p)
{
    QString text;
    for (int k = 0; k < g.count(); ++k) {
        const IdRange r = g.at(p, k);
        if (!r.on)
            continue;
        if (text.isEmpty())
            text = QStringLiteral("\r\n");
        text += QStringLiteral("メッセージ除外範囲 ") + QString::number(k + 1)
                + QStringLiteral("： ") + idText(r.start) + QStringLiteral(" ～ ")
                + idText(r.end) + QStringLiteral("\r\n");
    }
    return text;
}

} // namespace

int32_t IsRecExclusionEnabled(const ELM327_Info &params)
{
    return anyOn(recRanges(params), params);
}

int32_t IsRecExcludedID(int32_t identifier, const ELM327_Info &params)
{
    return excludes(recRanges(params), params, identifier);
}

int32_t IsPlayExclusionEnabled(const ELM327_Info &params)
{
    return anyOn(playRanges(params), params);
}

int32_t IsPlayExcludedID(int32_t identifier, const ELM327_Info &params)
{
    return excludes(playRanges(params), params, identifier);
}

QString RecExclusionText(const ELM327_Info &params)
{
    return describe(recRanges(params), params);
}

QString PlayExclusionText(const ELM327_Info &params)
{
    return describe(playRanges(params), params);
}
