/*
 * Camera-chip SDK, lowest layer: the camera's vendor extension unit and the
 * controller (ASIC) registers, memory type and image-sensor registers behind
 * it.  One camera at a time, one thread; all state is process-wide.
 */
#ifndef ZQ_XU_OPT_DEV_H
#define ZQ_XU_OPT_DEV_H

#include "ChipTypes.h"

ZQ_EXTERN_C_BEGIN

typedef enum { DAT_UNKNOW = -1, DAT_FIRST = 0, DAT_SECOND = 1, DSP_ARCH_COUNT = 2 } DSP_ARCH_TYPE;

/* One controller architecture's register map. */
typedef struct {
    USHORT asicIdAddr;
    USHORT sfRdyAddr;
    USHORT usbResetAddr;
    USHORT gpioInputAddr;
    USHORT gpioOutputAddr;
    USHORT gpioOEAddr;
    USHORT sfModeAddr;
    USHORT sfCSAddr;
    USHORT sfWriteDataAddr;
    USHORT sfReadDataAddr;
    USHORT sfReadWriteTriggerAddr;
    USHORT i2cDev;
    USHORT i2cMode;
    USHORT i2cTrg;
    USHORT i2cSclSelOD;
    USHORT i2cSlaveID;
    USHORT i2cDataArrStartAddr;
} DSP_ARCH_INFO;

/* Extension-unit control selectors. */
#define XU_CS_ASIC_REGISTER 1
#define XU_CS_FLASH_WINDOW 3
#define XU_CS_ROM_WINDOW 4
#define XU_CS_MEMORY_TYPE 5
#define XU_ASIC_CONTROL_SIZE 4
#define XU_WINDOW_CONTROL_SIZE 11

ZQ_EXPORT extern const DSP_ARCH_INFO g_AsicArchInfo[DSP_ARCH_COUNT];

/* The SDK's own descriptor of the camera node (-1 while closed). */
ZQ_EXPORT extern int fd;
/* Set by ChipCam_Init, cleared by ChipCam_UnInit. */
ZQ_EXPORT extern BOOL camera_init;
/* The extension unit every register, flash, ROM and memory-type query uses. */
ZQ_EXPORT extern BYTE g_curExtendUnitID;

/* The current register map, in the field order of DSP_ARCH_INFO. */
ZQ_EXPORT extern USHORT dspIdAddr;
ZQ_EXPORT extern USHORT sfRdyAddr;
ZQ_EXPORT extern USHORT usbResetAddr;
ZQ_EXPORT extern USHORT gpioInputAddr;
ZQ_EXPORT extern USHORT gpioOutputAddr;
ZQ_EXPORT extern USHORT gpioOEAddr;
ZQ_EXPORT extern USHORT sfModeAddr;
ZQ_EXPORT extern USHORT sfCSAddr;
ZQ_EXPORT extern USHORT sfWriteDataAddr;
ZQ_EXPORT extern USHORT sfReadDataAddr;
ZQ_EXPORT extern USHORT sfReadWriteTriggerAddr;
ZQ_EXPORT extern USHORT i2cDev;
ZQ_EXPORT extern USHORT i2cMode;
ZQ_EXPORT extern USHORT i2cTrg;
ZQ_EXPORT extern USHORT i2cSclSelOD;
ZQ_EXPORT extern USHORT i2cSlaveID;
ZQ_EXPORT extern USHORT i2cDataArrStartAddr;

ZQ_EXPORT BOOL XU_OpenCamera(const char *devPath);
ZQ_EXPORT BOOL XU_CloseCamera(void);

/* Raw queries on any unit and selector; the ioctl's result, 0 or -1. */
ZQ_EXPORT int XU_Get_Cur(BYTE xu_unit, BYTE xu_selector, USHORT xu_size, BYTE *xu_data);
ZQ_EXPORT int XU_Set_Cur(BYTE xu_unit, BYTE xu_selector, USHORT xu_size, BYTE *xu_data);
ZQ_EXPORT BOOL XU_Read(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs);
ZQ_EXPORT BOOL XU_Write(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs);

ZQ_EXPORT BOOL XU_ReadFromASIC(USHORT addr, BYTE *pValue);
ZQ_EXPORT BOOL XU_WriteToASIC(USHORT addr, BYTE value);
/* The register masked to one bit: 0 or 1 << bit. */
ZQ_EXPORT BYTE XU_ReadBitFormAsic(LONG addr, BYTE bit);
ZQ_EXPORT BOOL XU_GetMemType(BYTE *pMemType);
/* 3 or 4, whichever unit identifies the chip; 0 when neither does. */
ZQ_EXPORT BYTE XU_GetUVCExtendUnitID(void);
ZQ_EXPORT BOOL XU_SetAsicArchInfo(DSP_ARCH_TYPE asicArchType);
ZQ_EXPORT BOOL LibUsb_SetAsicArchInfo(DSP_ARCH_TYPE dspArchType);

/* I2C transfers to the image sensor through the controller.  Address and
 * data widths are 1 or 2 bytes (larger counts are taken as 2). */
ZQ_EXPORT BOOL XU_CustomWriteToSensor(BYTE slaveID, USHORT addr, BYTE addrByteNum, USHORT data,
                                      BYTE dataByteNum, bool pollSCL);
ZQ_EXPORT BOOL XU_CustomReadFromSensor(BYTE slaveID, USHORT addr, BYTE addrByteNum, USHORT *pData,
                                       BYTE dataByteNum, bool pollSCL);

ZQ_EXTERN_C_END

#endif
