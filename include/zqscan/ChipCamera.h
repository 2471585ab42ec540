/*
 * Camera-chip SDK entry points for service tools: open the camera's
 * controller chip, read and write its registers, the image sensor's
 * registers and the serial flash, read the USB ids, strings and firmware
 * version, burn and export firmware and rewrite the parameter table.
 *
 * Every ChipCam_ function returns 1 on success and 0 on failure, and 0
 * while the chip is not open; zq_last_error (zq_messages.h) says why, as
 * it does for the lower layers' calls.  One chip, one thread.
 */
#ifndef ZQ_CHIP_CAMERA_H
#define ZQ_CHIP_CAMERA_H

#include "ChipTypes.h"
#include "ROMData.h"
#include "SFData.h"
#include "XUOptDev.h"

ZQ_EXTERN_C_BEGIN

/* Progress of a long operation, 0.0 to 1.0; ptrClass is handed back. */
typedef void (*ChipCam_SetProgress)(void *ptrClass, float progress);

/* What a custom burn or parameter-table update changes; a null pointer
 * leaves that entry as in the image.  Texts are 8-bit characters, at most
 * CHIPCAM_MAX_STRING of them; pVidPid always supplies 4 bytes. */
typedef struct {
    unsigned int SerialNumberLength;
    unsigned int ProductLength;
    unsigned int ManufactureLength;
    unsigned int VidPidLength;
    unsigned int InterfaceLength;
    unsigned int String3Length;
    char *pSerialNumber;
    char *pProduct;
    char *pManufacture;
    char *pVidPid;
    char *pString3;
    char *pInterface;
} ChangeParamInfo;

#define CHIPCAM_MAX_STRING 31
#define CHIPCAM_FW_VERSION_SIZE 56
/* Images shorter than the layout block are not firmware. */
#define CHIPCAM_MIN_FW_LENGTH 0x168

ZQ_EXPORT BOOL ChipCam_Init(int videoIndex);
ZQ_EXPORT BOOL ChipCam_UnInit(void);

ZQ_EXPORT BOOL ChipCam_AsicRegisterRead(USHORT addr, BYTE *pData, LONG len);
ZQ_EXPORT BOOL ChipCam_AsicRegisterWrite(USHORT addr, BYTE *pData, LONG len);
ZQ_EXPORT BOOL ChipCam_XuRead(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs);
ZQ_EXPORT BOOL ChipCam_XuWrite(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs);
/* Sensor registers, two bytes a register access, high byte first. */
ZQ_EXPORT BOOL ChipCam_SensorRegisterCustomRead(BYTE slaveId, LONG addr, BYTE *pData, LONG len,
                                                bool pollSCL);
ZQ_EXPORT BOOL ChipCam_SensorRegisterCustomWrite(BYTE slaveId, LONG addr, BYTE *pData, LONG len,
                                                 bool pollSCL);

ZQ_EXPORT BOOL ChipCam_SerialFlashRead(LONG addr, BYTE *pData, LONG len);
ZQ_EXPORT BOOL ChipCam_SerialFlashSectorWrite(LONG addr, BYTE *pData, LONG len,
                                              SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL ChipCam_SerialFlashWrite(LONG addr, BYTE *pData, LONG len);

ZQ_EXPORT BOOL ChipCam_GetManufacturer(BYTE *pData, int len);
ZQ_EXPORT BOOL ChipCam_GetProduct(BYTE *pData, int len);
ZQ_EXPORT BOOL ChipCam_GetSerialNumber(BYTE *pData, int len);
ZQ_EXPORT BOOL ChipCam_GetString3(BYTE *pData, int len);
ZQ_EXPORT BOOL ChipCam_GetInterface(BYTE *pData, int len);
/* The 4 id bytes as stored; pData must hold 4 bytes (len at least 4). */
ZQ_EXPORT BOOL ChipCam_GetVidPid(BYTE *pData, LONG len);

ZQ_EXPORT BOOL ChipCam_DisableSerialFlashWriteProtect(SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL ChipCam_EraseSerialFlash(SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL ChipCam_EraseSectorFlash(LONG addr, SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL ChipCam_EraseBlockFlash(int addr, SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL ChipCam_GetAsicRomType(DSP_ROM_TYPE *romType);

/* The firmware version record (CHIPCAM_FW_VERSION_SIZE bytes), raw fields
 * or, with bNormalExport 0, one readable text; pData is cleared for len. */
ZQ_EXPORT BOOL ChipCam_GetFWVersion(BYTE *pData, LONG len, BOOL bNormalExport);
ZQ_EXPORT BOOL ChipCam_GetFWVersionEx(DSP_ROM_TYPE romType, BYTE *pData, LONG len,
                                      BOOL bNormalExport);

/* Address bytes a sensor register address needs: 1 to 4. */
ZQ_EXPORT BYTE GetByteLengthFormAddr(LONG addr);

/* Firmware: erase the flash, write the image in 8-byte groups with the
 * layout block's first bytes last, and verify every 1024th group or, with
 * bFullCheckFW, every group. */
ZQ_EXPORT BOOL ChipCam_BurnerFW(BYTE *pFwBuffer, LONG lFwLength, ChipCam_SetProgress setProgress,
                                void *ptrClass, SERIAL_FLASH_TYPE sft, BOOL bFullCheckFW);
ZQ_EXPORT BOOL ChipCam_CustomBurnerFW(ChangeParamInfo paramInfo, BYTE *pFwBuffer, LONG lFwLength,
                                      ChipCam_SetProgress setProgress, void *ptrClass,
                                      SERIAL_FLASH_TYPE sft, BOOL bFullCheckFW);
/* As ChipCam_BurnerFW on a flash that is already erased. */
ZQ_EXPORT BOOL ChipCam_WriteFwToFlash(BYTE *pFwBuffer, LONG lFwLength,
                                      ChipCam_SetProgress setProgress, void *ptrClass,
                                      BOOL bFullCheckFW);
ZQ_EXPORT BOOL ChipCam_ExportFW(BYTE *pFwBuffer, LONG lFwLength, ChipCam_SetProgress setProgress,
                                void *ptrClass);
/* Rewrites only the flash sector(s) of the parameter table and its CRC,
 * taken from the image and patched; steps go to the log file if named. */
ZQ_EXPORT BOOL ChipCam_SetParamTableFromFWFile(BYTE *pFW, LONG lFwLength, ChangeParamInfo paramInfo,
                                               ChipCam_SetProgress setProgress, void *ptrClass,
                                               SERIAL_FLASH_TYPE sft, const char *pLogFilePath,
                                               BOOL bFullCheckFW);

/* CRC-16/MODBUS of the table, stored high byte first at crcStartAddr + 20. */
ZQ_EXPORT BOOL CheckCRC(BYTE *pFW, LONG paraTableStartAddr, LONG paraTableLength,
                        LONG crcStartAddr);
/* A USB string descriptor of the text in the 64-byte slot at paramAddr. */
ZQ_EXPORT BOOL SetParamToParamBuffer(BYTE *paramBuffer, LONG paramAddr, BYTE *param, LONG length);

ZQ_EXTERN_C_END

#endif
