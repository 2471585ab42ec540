/*
 * Camera-chip SDK: the serial flash behind the controller, through the
 * flash data window (8 bytes a transfer) and the controller's serial-flash
 * engine (raw SPI flash commands), and lifting its write protection.
 */
#ifndef ZQ_SF_DATA_H
#define ZQ_SF_DATA_H

#include "ChipTypes.h"

ZQ_EXTERN_C_BEGIN

typedef enum {
    SFT_UNKNOW = 0,
    SFT_MXIC = 1,
    SFT_ST = 2,
    SFT_SST = 3,
    SFT_ATMEL_AT25F = 4,
    SFT_ATMEL_AT25FS = 5,
    SFT_ATMEL_AT45DB = 6,
    SFT_WINBOND = 7,
    SFT_PMC = 8,
    SFT_MXIC_LIKE = 9,
    SFT_AMIC = 10,
    SFT_EON = 11,
    SFT_ESMT = 12,
    SFT_GIGA = 13,
    SFT_FENTECH = 14
} SERIAL_FLASH_TYPE;

#define SF_CMD_ROWS 5
#define SF_CMD_COLUMNS 7
#define SF_ID_ROWS 18
#define SF_ID_COLUMNS 6
/* The flash data window reaches this far (bank bits saturate at 3). */
#define SF_WINDOW_LIMIT 0x40000L

/* Command sets; column 1 is the write-enable and column 2 the program
 * command that the firmware's command registers are given. */
ZQ_EXPORT extern const BYTE cbSFLib_Cmd[SF_CMD_ROWS][SF_CMD_COLUMNS];
/* Known flashes: JEDEC manufacturer, device id 1 and 2, family, command
 * row, 1. */
ZQ_EXPORT extern const BYTE cbSFLib_ID[SF_ID_ROWS][SF_ID_COLUMNS];
/* Row of cbSFLib_Cmd in use; only clients change it. */
ZQ_EXPORT extern BYTE ubSFLib_CmdID;
/* A flash's identity, kept here by clients. */
ZQ_EXPORT extern BYTE sfManufactureID;
ZQ_EXPORT extern BYTE sfDeviceID1;
ZQ_EXPORT extern BYTE sfDeviceID2;

ZQ_EXPORT BOOL XU_ReadDataFormFlash(LONG addr, BYTE *pData, BYTE dataLen);
ZQ_EXPORT BOOL XU_WriteDataToFlash(LONG addr, BYTE *pData, BYTE dataLen);
ZQ_EXPORT BOOL XU_ReadFormSF(LONG addr, BYTE *pData, LONG len);
ZQ_EXPORT BOOL XU_SFWaitReady(void);
ZQ_EXPORT BOOL XU_SFCMDreadStatus(void);
ZQ_EXPORT BOOL XU_EraseSectorForSerialFlash(LONG addr, SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL XU_EraseBlockForSerialFlash(LONG addr, SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL XU_SerialFlashErase(SERIAL_FLASH_TYPE sft);
ZQ_EXPORT BOOL XU_DisableSerialFlashWriteProtect(SERIAL_FLASH_TYPE sft);
ZQ_EXPORT LONG ubSFLib_GetIDSize(void);

/* The flash's JEDEC id (command 0x9F): manufacturer, device id 1 and 2. */
ZQ_EXPORT BOOL XU_ReadSerialFlashID(BYTE *pID);
/* The flash's size in bytes, at most SF_WINDOW_LIMIT (what the window
 * reaches): from its JEDEC id for the parts the SDK knows (*pByID 1),
 * otherwise (*pByID 0) from where its addresses wrap around, which makes
 * a flash whose contents repeat (an erased one) count as 64 KiB. */
ZQ_EXPORT BOOL XU_GetSerialFlashSize(LONG *pSize, BOOL *pByID);

ZQ_EXTERN_C_END

#endif
