#include "CAN_PlayDB.h"

void CAN_PlayDB::Param_ALL_Clear()
{
    PlayMode = 0;
    t_RecPlay_FileType = 0;
    t_RecPlay_FilePath.clear();
    t_RecPlay_FileName.clear();
    t_RecPlay_PlayMode_Repeat = 0;
}
