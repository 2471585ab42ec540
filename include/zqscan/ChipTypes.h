/*
 * Scalar types of the camera-chip SDK.  The SDK's interface keeps the
 * Windows-style names its clients know; on Linux LONG and ULONG are 64 bits.
 */
#ifndef ZQ_CHIP_TYPES_H
#define ZQ_CHIP_TYPES_H

#include "zq_export.h"

#ifndef __cplusplus
#include <stdbool.h>
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short USHORT;
typedef unsigned int DWORD;
typedef long LONG;
typedef unsigned long ULONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#endif
