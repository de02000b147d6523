#include "RecordTrailer.h"

#include "ELM327_Info.h"

RecordTrailer RecordTrailer::fromParams(const ELM327_Info &params)
{
    return {params.Application_title2, params.Copy_light2, params.t_SaveRecFile_Keycode,
            params.t_LogComment};
}

int32_t RecordTrailer::check(const ELM327_Info &params) const
{
    if (maker != params.Copy_light2)
        return -2;
    if (product != params.Application_title2)
        return -2;
    if (key != params.t_SaveRecFile_Keycode)
        return -2;
    return 0;
}
