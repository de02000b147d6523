#pragma once

#include <QString>
#include <QStringList>

// The CAN databases in tests/data/dbc (link testdata_dbc): eleven real vehicle files and
// one small code page 932 file made for the tests.
namespace dbcfiles {

inline QString path(const QString &name)
{
    return QStringLiteral(DBC_DATA_DIR "/") + name;
}

inline const QStringList &all()
{
    static const QStringList names{
        QStringLiteral("ESR.dbc"),
        QStringLiteral("bmw_e9x_e8x.dbc"),
        QStringLiteral("ford_fusion_2018_pt.dbc"),
        QStringLiteral("jp_body_cp932.dbc"),
        QStringLiteral("mazda_3_2019.dbc"),
        QStringLiteral("nissan_xterra_2011.dbc"),
        QStringLiteral("psa_aee2010_r3.dbc"),
        QStringLiteral("tesla_can.dbc"),
        QStringLiteral("toyota_2017_ref_pt.dbc"),
        QStringLiteral("toyota_prius_2010_pt.dbc"),
        QStringLiteral("vw_mqb.dbc"),
        QStringLiteral("vw_pq.dbc"),
    };
    return names;
}

// The interpreter that has python3-canmatrix (Debian's, not a user's own).
inline QString python() { return QStringLiteral("/usr/bin/python3"); }
inline QString canmatrixScript() { return QStringLiteral(CANMATRIX_DECODE_PY); }

} // namespace dbcfiles
