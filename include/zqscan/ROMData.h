/*
 * Camera-chip SDK: telling controller chips and mask-ROM versions apart,
 * and locating the parameter table (USB ids and strings) that the ROM
 * version implies, in the camera's flash or in a firmware image.
 */
#ifndef ZQ_ROM_DATA_H
#define ZQ_ROM_DATA_H

#include "ChipTypes.h"
#include "XUOptDev.h"

ZQ_EXTERN_C_BEGIN

typedef enum { DRT_Unknow = 0, DRT_32K = 1, DRT_64K = 2, DRT_128K = 3, DRT_256K = 4 } DSP_ROM_TYPE;

/* Where a ROM version string may lie, in search order. */
enum { ADDR_9FF8, ADDR_D2B2, ADDR_DFF8, ADDR_BFF8, ADDR_C7F8, ADDR_AFF8, ROMSTRADDRCNT };
ZQ_EXPORT extern const USHORT RomStringAddr[ROMSTRADDRCNT];

#define ROM_STRING_SIZE 8

typedef struct {
    USHORT RomStringAddr;
    BYTE RomString[ROM_STRING_SIZE];
    USHORT SFTypeAddr;
    USHORT CodeVerAddr1;
    USHORT CodeVerAddr2;
    unsigned long long Bypass;
    int IsNewestVer;
    int IsSWErase;
    int IsDisSFWriteCmd;
    int IsGeneric;
    int IsCompactMode;
    int IsLCVer;
} ROM_INFO;

enum {
    ROM220,
    ROM225,
    ROM250V1,
    ROM250V2,
    ROM230V1,
    ROM230V2,
    ROM230V3,
    ROM231V1,
    ROM216V1,
    ROM215V1,
    ROM236V1,
    ROM236V2,
    ROM256V1,
    ROM231V2,
    ROM266V1,
    ROM276V1,
    ROM275V1,
    ROM290V1,
    ROM290V2,
    ROM286V1,
    ROM288V1,
    ROM289V1,
    ROM270V1,
    ROM271V1,
    ROM280V1,
    ROM281V1,
    ROM232V1,
    ROM232V2,
    ROM272V1,
    ROM273V0,
    ROM275V2,
    ROM283,
    ROM292,
    ROM287,
    ROM267,
    ROM276V2,
    ROM285,
    ROM286,
    ROMCOUNT
};

ZQ_EXPORT extern const ROM_INFO RomInfo[ROMCOUNT];
/* Row of RomInfo of the connected chip. */
ZQ_EXPORT extern unsigned int uiRomID;

/* Offsets of the USB strings in the parameter table. */
#define PARAM_PRODUCT_OFFSET 0x40
#define PARAM_MANUFACTURER_OFFSET 0x80
#define PARAM_SERIAL_NUMBER_OFFSET 0xC0
#define PARAM_STRING3_OFFSET 0x100
#define PARAM_INTERFACE_OFFSET 0x140

ZQ_EXPORT BOOL XU_GetChipID(LONG idAddr, BYTE *pChipID);
ZQ_EXPORT DSP_ROM_TYPE XU_GetChipRomType(BYTE *pChipID, DSP_ARCH_TYPE *pAsicArchType);
ZQ_EXPORT BOOL XU_ReadFromROM(LONG addr, BYTE *data);
ZQ_EXPORT BOOL XU_DefGetAsicRomVersion(BYTE *data);
ZQ_EXPORT BOOL XU_GetAsicRomVersion(BYTE *data);
ZQ_EXPORT BOOL XU_GetParaTableAndCRCAddrFormSF(ULONG *paraTableStartAddr, ULONG *paraTableEndAddr,
                                               ULONG *crcAddr);
/* pFW must hold the image's layout block (0x18B bytes from its start);
 * the addresses found are checked against what the flash window reaches. */
ZQ_EXPORT BOOL XU_GetParaTableAndCRCAddrFormFW(BYTE *pFW, ULONG *paraTableStartAddr,
                                               ULONG *paraTableEndAddr, ULONG *crcAddr);
/* The same for an image of fwLength bytes and the ROM whose version string
 * (as XU_GetAsicRomVersion gives it) is romVersion, without asking the
 * chip; fails unless the table and its checksum lie inside the image. */
ZQ_EXPORT BOOL XU_GetParaTableAndCRCAddrFormImage(const BYTE *romVersion, const BYTE *pFW,
                                                  ULONG fwLength, ULONG *paraTableStartAddr,
                                                  ULONG *paraTableEndAddr, ULONG *crcAddr);
ZQ_EXPORT BOOL XU_GetStringSettingFormSF(BYTE *pbyString, DWORD stringSize, DWORD StringOffset,
                                         BOOL bIsCRCProtect);

ZQ_EXTERN_C_END

#endif
