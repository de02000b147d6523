#include "SettingsRecord.h"

#include "BinaryReader.h"
#include "BinaryWriter.h"
#include "TextSupplement.h"

namespace {

// One list of the fields, walked by the writer and by the reader, so the two can never
// disagree on the layout.
template <class Visitor>
void visitFields(Visitor &v, ELM327_Info &p, PlayTarget &t)
{
#define ARRAY(name) \
    v.array([&](int16_t i) { return p.name(i); }, [&](int16_t i, int32_t x) { p.name(i, x); })
    v.text(p.Application_title);          // 1
    v.text(p.Copy_light);                 // 2
    v.long_(p.t_SaveFormat);              // 3
    v.reserved(4);                        // 4
    v.long_(p.install_version);           // 5
    v.long_(p.t_bitRate);                 // 6
    v.long_(p.t_msgID_type);              // 7
    v.long_(p.t_silent_mode);             // 8
    v.long_(p.t_MM_Mode);                 // 9
    v.long_(p.t_SkipTimeON);              // 10
    v.long_(p.t_SkipTime_Value);          // 11
    v.long_(p.t_DataChangeColorTime);     // 12
    v.long_(p.t_DataChangeColor);         // 13
    v.long_(p.t_DataChangeColorEnable);   // 14
    v.long_(p.t_MsgLateColor_Ratio);      // 15
    v.long_(p.t_MsgLateColor_Time);       // 16
    v.long_(p.t_MsgLateColor);            // 17
    v.long_(p.t_MsgLateColorEnable);      // 18
    v.long_(p.t_MsgBlackout_Ratio);       // 19
    v.long_(p.t_MsgBlackout_Color);       // 20
    v.long_(p.t_MsgBlackout_Enable);      // 21
    ARRAY(t_DisableID_Play_ON);           // 22
    ARRAY(t_DisableID_Play_Start);        // 23
    ARRAY(t_DisableID_Play_End);          // 24
    ARRAY(t_DisableID_Rec_ON);            // 25
    ARRAY(t_DisableID_Rec_Start);         // 26
    ARRAY(t_DisableID_Rec_End);           // 27
    ARRAY(t_MsgMarker_ON);                // 28
    ARRAY(t_MsgMarkerID);                 // 29
    ARRAY(t_MsgMarkerStartByte);          // 30
    ARRAY(t_MsgMarkerEndByte);            // 31
    ARRAY(t_MsgMarkerColor);              // 32
    v.long_(p.t_SaveFilePath_mode);       // 33
    v.text(p.t_SaveFilePath);             // 34
    v.reservedText();                     // 35
    v.reserved(8);                        // 36
    v.long_(t.t_RecPlay_FileType);        // 37
    v.text(t.t_RecPlay_FilePath);         // 38
    v.text(t.t_RecPlay_FileName);         // 39
    v.long_(p.t_LogSaveFormat);           // 40
    v.long_(p.t_LogSaveFilePath_mode);    // 41
    v.text(p.t_LogSaveFilePath);          // 42
    v.long_(p.t_LogSave_Enable);          // 43
    v.long_(p.t_LogSave_subFolder);       // 44
    v.text(p.t_LogComment);               // 45
    v.reserved(4);                        // 46
    v.supplement();                       // 47, reserved: see TextSupplement.h
    v.long_(p.t_CF_mode);                 // 48
    v.long_(p.t_CF_Load_FileType);        // 49
    v.long_(p.t_CF_Vistbus_On);           // 50
    v.text(p.t_CF_Load_Name);             // 51
    v.text(p.t_CF_Load_Path);             // 52
    v.long_(p.t_CF_Save_Path_mode);       // 53
    v.text(p.t_CF_Save_Path);             // 54
#undef ARRAY
}

struct Writer
{
    BinaryWriter out;
    void text(const QString &s) { out.writeString(s); }
    void long_(int32_t x) { out.writeInt32(x); }
    void reserved(int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            out.writeUInt8(0);
    }
    void reservedText() { out.writeUInt16(0); }
    QByteArray supplementBytes;
    void supplement()
    {
        out.writeUInt16(uint16_t(supplementBytes.size()));
        out.writeBytes(supplementBytes.constData(), supplementBytes.size());
    }
    template <class Get, class Set>
    void array(Get get, Set)
    {
        for (int16_t i = 0; i < 8; ++i)
            out.writeInt32(get(i));
    }
};

struct Reader
{
    BinaryReader in;
    void text(QString &s)
    {
        const QString v = in.readString();
        if (in.ok())
            s = v;
    }
    void long_(int32_t &x)
    {
        const int32_t v = in.readInt32();
        if (in.ok())
            x = v;
    }
    void reserved(int bytes) { in.skip(bytes); }
    void reservedText() { in.readString(); }
    QByteArray supplementBytes;
    void supplement()
    {
        QByteArray bytes(in.readUInt16(), Qt::Uninitialized);
        if (in.ok() && in.readBytes(bytes.data(), bytes.size()))
            supplementBytes = bytes;
    }
    template <class Get, class Set>
    void array(Get, Set set)
    {
        for (int16_t i = 0; i < 8; ++i) {
            const int32_t v = in.readInt32();
            if (in.ok())
                set(i, v);
        }
    }
};

} // namespace

namespace settingsrecord {

QByteArray serialize(const ELM327_Info &params, const PlayTarget &target)
{
    // The visitor needs mutable references for the reader's sake; the writer only reads.
    ELM327_Info p = params;
    PlayTarget t = target;
    Writer w;
    w.supplementBytes = textsupplement::build(p, t);
    visitFields(w, p, t);
    return w.out.data();
}

bool parse(const QByteArray &data, ELM327_Info &params, PlayTarget &target)
{
    Reader r{BinaryReader(data), {}};
    visitFields(r, params, target);
    textsupplement::apply(r.supplementBytes, params, target);
    return r.in.ok();
}

} // namespace settingsrecord
