// The engine choice and the plain engine's run; the run itself is PlayRun's.
#include "CAN_PlayDB.h"

#include "CAN_PlayDB_Multi.h"
#include "CAN_PlayDB_Multi_MM.h"
#include "ELM327_Info.h"
#include "PlayRun.h"
#include "RunHost.h"

CAN_PlayDB::CAN_PlayDB() = default;

CAN_PlayDB::~CAN_PlayDB() = default;

void CAN_PlayDB::Param_ALL_Clear()
{
    PlayMode = 0;
    t_RecPlay_FileType = 0;
    t_RecPlay_FilePath.clear();
    t_RecPlay_FileName.clear();
    t_RecPlay_PlayMode_Repeat = 0;
}

PlayVariant *CAN_PlayDB::multiEngine()
{
    if (!CanPlay_Multi)
        CanPlay_Multi = std::make_unique<CAN_PlayDB_Multi>();
    return CanPlay_Multi.get();
}

PlayVariant *CAN_PlayDB::memoryEngine()
{
    if (!CanPlay_Multi_MM)
        CanPlay_Multi_MM = std::make_unique<CAN_PlayDB_Multi_MM>();
    return CanPlay_Multi_MM.get();
}

void CAN_PlayDB::FilePlayMain(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                              CANUSB &CAN_u, CAN_DB &CAN_d, InterfaceCAN &IfCan_u,
                              CAN_DB_Interface &IfCan_d)
{
    PlayVariant *variant = nullptr;
    switch (playEngineFor(params, t_RecPlay_FileType)) {
    case PlayEngine::None:
        return;
    case PlayEngine::Plain:
        break;
    case PlayEngine::Kept:
        variant = multiEngine();
        break;
    case PlayEngine::Memory:
        variant = memoryEngine();
        break;
    }
    const bool usb = params.t_select_Vender == 1;
    if (variant && usb)
        variant->FilePlay_CANUSB(host, params, rx, CAN_u, CAN_d, *this);
    else if (variant)
        variant->FilePlay_InterfaceCAN(host, params, rx, IfCan_u, IfCan_d, *this);
    else if (usb)
        FilePlay_CANUSB(host, params, rx, CAN_u, CAN_d);
    else
        FilePlay_InterfaceCAN(host, params, rx, IfCan_u, IfCan_d);
}

void CAN_PlayDB::FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                 CANUSB &CAN_u, CAN_DB &CAN_d)
{
    playThroughCanusb(host, params, rx, CAN_u, CAN_d, *this, m_files);
}

void CAN_PlayDB::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                       InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d)
{
    playThroughInterface(host, params, rx, IfCan_u, IfCan_d, *this, m_files);
}

void CAN_PlayDB::FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params)
{
    m_files.preload(host, params, *this, *this);
}

void CAN_PlayDB::FolderPlayMode_PreLoadFile_Mulit(RunHost &host, ELM327_Info &params)
{
    if (PlayVariant *variant = multiEngine())
        variant->FolderPlayMode_PreLoadFile(host, params, *this);
}

void CAN_PlayDB::preloadForTimer(RunHost &host, ELM327_Info &params)
{
    if (PlayMode != 1 || t_RecPlay_FileType != 2)
        return;
    switch (playEngineFor(params, t_RecPlay_FileType)) {
    case PlayEngine::Plain:
        FolderPlayMode_PreLoadFile(host, params);
        break;
    case PlayEngine::Kept:
        FolderPlayMode_PreLoadFile_Mulit(host, params);
        break;
    case PlayEngine::Memory:   // loads everything before it plays
    case PlayEngine::None:
        break;
    }
}

void CAN_PlayDB::pauseClicked()
{
    Pause_ON_Flag = 1;
    if (m_run)
        m_run->pauseClicked();
}

void CAN_PlayDB::resumeClicked()
{
    Pause_ON_Flag = 2;
    if (m_run)
        m_run->resumeClicked();
}

bool CAN_PlayDB::sendsTimed() const
{
    return m_run && m_run->sendsTimed();
}
