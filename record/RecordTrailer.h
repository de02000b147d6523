#pragma once

#include <QString>

#include <cstdint>

class ELM327_Info;

// The identification behind the frame area of a record file. Written in this order;
// readers compare maker, product and key with the running program's.
struct RecordTrailer
{
    QString product;   // Application_title2
    QString maker;     // Copy_light2
    QString key;       // t_SaveRecFile_Keycode
    QString comment;   // t_LogComment at the moment of writing

    // What this program writes now.
    static RecordTrailer fromParams(const ELM327_Info &params);
    // 0 when maker, product and key are the program's own, else -2.
    int32_t check(const ELM327_Info &params) const;

    bool operator==(const RecordTrailer &) const = default;
};
