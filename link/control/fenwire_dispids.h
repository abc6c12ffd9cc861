/* DISPIDs of the link control's dispatch interface _DFenwire and its event
 * interface _DFenwireEvents. Hosts address properties, methods and events by these. */
#ifndef FENWIRE_DISPIDS_H
#define FENWIRE_DISPIDS_H

#include <stdint.h>

enum fw_dispid {
    FW_cComPort = 1,
    FW_cComError = 2,
    FW_cAddrMode = 3,
    FW_cBusy = 4,
    FW_cComResult = 5,
    FW_cComState = 6,
    FW_cDbFlags = 7,
    FW_cDoCommand = 8,
    FW_cNoPreambles = 9,
    FW_cPollAddress = 10,
    FW_cRcvLen = 11,
    FW_cResponse1 = 12,
    FW_cResponse2 = 13,
    FW_p00DeviceID = 14,
    FW_p00DeviceNumber = 15,
    FW_p00HardwRev = 16,
    FW_p00SoftwRev = 17,
    FW_p00VendorID = 18,
    FW_p01Pv = 19,
    FW_p01PvUnit = 20,
    FW_cAction = 21,
    FW_p02Current = 22,
    FW_p02Percent = 23,
    FW_p03Pv1 = 24,
    FW_p03Pv1Unit = 25,
    FW_p03Pv2 = 26,
    FW_p03Pv2Unit = 27,
    FW_p03Pv3 = 28,
    FW_p03Pv3Unit = 29,
    FW_p03Pv4 = 30,
    FW_p03Pv4Unit = 31,
    FW_p12Message = 32,
    FW_p13DateDay = 33,
    FW_p13DateMonth = 34,
    FW_p13DateYear = 35,
    FW_p13Descriptor = 36,
    FW_p13TagName = 37,
    FW_p14LoSensLimit = 38,
    FW_p14MinSpan = 39,
    FW_p14SensLimUnit = 40,
    FW_p14SensSerNum = 41,
    FW_p14UpSensLimit = 42,
    FW_p15AlmSelCode = 43,
    FW_p15Damping = 44,
    FW_p15LabDistCode = 45,
    FW_p15LoRange = 46,
    FW_p15RangeUnit = 47,
    FW_p15UpRange = 48,
    FW_p15XferFuncCode = 49,
    FW_cNoRetries = 50,
    FW_p15WriteProtCode = 51,
    FW_p00sVendor = 52,
    FW_p01sPvUnit = 53,
    FW_p03sPv1Unit = 54,
    FW_p03sPv2Unit = 55,
    FW_p03sPv3Unit = 56,
    FW_p14sSensLimUnit = 57,
    FW_p15sRangeUnit = 58,
    FW_p00HartFlags = 59,
    FW_p00DevRev = 60,
    FW_xReqLen = 61,
    FW_xOffset = 62,
    FW_p03sPv4Unit = 63,
    FW_xPackedASCIILen = 64,
    FW_xStringLen = 65,
    FW_cBusview = 66,
    FW_cNewPollAddress = 67,
    FW_cComMode = 68,
    FW_cUnID0 = 69,
    FW_cUnID1 = 70,
    FW_cUnID2 = 71,
    FW_cUnID3 = 72,
    FW_cUnID4 = 73,
    FW_cBurstModeFlag = 74,
    FW_cRTSdelay = 75,
    FW_xFloat = 76,
    FW_xInt16 = 77,
    FW_xInt24 = 78,
    FW_xInt8 = 79,
    FW_xInt32 = 80,
    FW_xPackedASCII = 81,
    FW_xString = 82,
    FW_xUnitString = 83,
    FW_cRetrySilence = 85, /* 1 (default): silence is retried like a damaged reply; 0: one try */
    FW_Caption = -518,
    FW__Caption = 0,
    /* methods */
    FW_ShowDialog = 84,
    FW_AboutBox = -552,
};

enum fw_event_dispid {
    FW_EVENT_xPropertyChanged = 1, /* no arguments */
    FW_EVENT_Result = 2,           /* iAction, iCommand, iResult */
    FW_EVENT_Busy = 3,             /* iBusy */
    FW_EVENT_BusviewEnd = 4,       /* no arguments */
    FW_EVENT_Notify = 5,           /* WhatEvent */
};

/* Automation errors. */
#define FW_E_PENDING_COMMAND ((int32_t)0x800A03E8) /* a second command while one waits for the unique identifier */
#define FW_E_TYPEMISMATCH ((int32_t)0x80020005)
#define FW_E_OVERFLOW ((int32_t)0x8002000A)
#define FW_E_MEMBERNOTFOUND ((int32_t)0x80020003)
#define FW_E_INVALIDARG ((int32_t)0x80070057)
#define FW_E_POINTER ((int32_t)0x80004003)

#endif /* FENWIRE_DISPIDS_H */
