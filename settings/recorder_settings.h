// The recorder's settings, one record held in the application state. Each
// field has the name of the registry value it is stored under (the spelling
// "Langauge" included: it is the stored name). Numeric fields are single
// aligned 32-bit words, which other threads read without a lock.
#pragma once

#include <cstdint>

#include "settings/fixed_text.h"

struct RecorderSettings {
    uint32_t DisableRecordAudio = 0;
    uint32_t EnableMovRecordAfterLaunch = 0;
    uint32_t EnableMovRecordWidthEvtTag = 0;
    uint32_t EventTagDetectLevelX = 0;
    uint32_t EventTagDetectLevelY = 0;
    uint32_t EventTagDetectLevelZ = 0;
    uint32_t EnableGpsRecordAfterLaunch = 0;
    uint32_t EnableAutoFocus = 0;
    uint32_t EnableCameraFlash = 0;
    uint32_t StillWidth = 0;
    uint32_t StillHeight = 0;
    uint32_t AudioBitrate = 0;          // kbit/s
    uint32_t VideoBitrate = 0;          // kbit/s
    uint32_t JpegQuality = 0;
    uint32_t SplitTimeSec = 0;
    uint32_t FileDeleteLevel = 0;       // MB
    uint32_t MinFreeSpaceMB = 0;        // not stored: 10 after every load
    uint32_t LcdOffTime = 0;            // seconds, 0 = never
    FixedText<260> SelectDisk{};        // storage folder at the file system's root
    FixedText<64> Langauge{};
    uint32_t MemoInputType = 0;
    uint32_t FreeSpaceMB = 0;           // quota, 0 = none
    uint32_t EnableBgAudioRecordOnCall = 0;
    uint32_t EventDetectLevel = 0;
    uint32_t UseGPS4Event = 0;
    uint32_t UseGSensor4Event = 0;
    uint32_t EventTimeSec = 0;
    uint32_t EvtTagSMSSend = 0;
    uint32_t AccidentSound = 0;
    FixedText<260> EvtTagSMSRecvNum{};
    FixedText<260> EvtTagSMSMsgText{};
    uint32_t SendSmsScaleX = 0;
    uint32_t SendSmsScaleY = 0;
    uint32_t SendSmsScaleZ = 0;
    uint32_t EnablePlaySound = 0;
    uint32_t ContrastLevel = 0;
    uint32_t StabilizationOnOff = 0;
    uint32_t WDROnOff = 0;
    uint32_t VideoSize = 0;
};
