/*
 * A handle on a camera's controller chip: what a service tool does with
 * the chip (identify it, read its flash, burn firmware, change its USB ids
 * and strings, reach its registers and its image sensor's), over the
 * camera-chip SDK (ChipCamera.h) without its globals and tables.
 *
 * Errors: every function but zq_chip_new, zq_chip_free and
 * zq_chip_last_error returns a zq_chip_result, ZQ_CHIP_OK or the kind of
 * failure; the handle keeps the words for the last failure until its next
 * call (zq_chip_last_error), followed in brackets by the SDK's own reason
 * where the SDK recorded one on the way.  Nothing is thrown out of these
 * functions.
 *
 * The SDK drives one chip for the whole process: while one handle (or a
 * caller of ChipCam_Init) holds a chip open, opening another is refused
 * with ZQ_CHIP_ERR_BUSY.  One thread at a time.
 */
#ifndef ZQ_CHIP_H
#define ZQ_CHIP_H

#include "zq_export.h"

ZQ_EXTERN_C_BEGIN

typedef struct zq_chip zq_chip;

typedef enum {
    ZQ_CHIP_OK = 0,
    ZQ_CHIP_ERR_ARGUMENT = 1,     /* a null pointer, a range the flash window does not reach */
    ZQ_CHIP_ERR_NOT_OPEN = 2,     /* the handle holds no chip */
    ZQ_CHIP_ERR_BUSY = 3,         /* another handle holds the process's chip */
    ZQ_CHIP_ERR_NO_DEVICE = 4,    /* no camera with an extension unit there */
    ZQ_CHIP_ERR_UNKNOWN_CHIP = 5, /* the controller or its ROM is not one the SDK knows */
    ZQ_CHIP_ERR_READ = 6,         /* a read from the chip failed */
    ZQ_CHIP_ERR_WRITE = 7,        /* erasing or writing failed */
    ZQ_CHIP_ERR_VERIFY = 8,       /* written, but it reads back differently */
    ZQ_CHIP_ERR_MEMORY = 9
} zq_chip_result;

/* A new handle holding no chip; NULL only when memory runs out. */
ZQ_EXPORT zq_chip *zq_chip_new(void);
/* Closes the handle's chip and frees the handle; NULL is ignored. */
ZQ_EXPORT void zq_chip_free(zq_chip *chip);

/* Opens the chip of /dev/video<video_index> as ChipCam_Init does (which
 * also notes a failure on stderr). */
ZQ_EXPORT zq_chip_result zq_chip_open(zq_chip *chip, int video_index);
/* Opens the chip of the camera at device_path, e.g. "/dev/video2". */
ZQ_EXPORT zq_chip_result zq_chip_open_device(zq_chip *chip, const char *device_path);
/* Lets the chip go; closing a handle that holds none is no error. */
ZQ_EXPORT zq_chip_result zq_chip_close(zq_chip *chip);

/* What the handle's last call failed at; "" after a success.  Valid until
 * the handle's next call. */
ZQ_EXPORT const char *zq_chip_last_error(const zq_chip *chip);

#define ZQ_CHIP_ROM_VERSION_SIZE 8
#define ZQ_CHIP_FIRMWARE_VERSION_SIZE 56
#define ZQ_CHIP_MAX_STRING 31
/* The flash data window reaches this far. */
#define ZQ_CHIP_FLASH_WINDOW 0x40000L

/* The USB strings of the parameter table. */
typedef enum {
    ZQ_CHIP_PRODUCT = 0,
    ZQ_CHIP_MANUFACTURER = 1,
    ZQ_CHIP_SERIAL_NUMBER = 2,
    ZQ_CHIP_STRING3 = 3,
    ZQ_CHIP_INTERFACE = 4,
    ZQ_CHIP_STRING_COUNT = 5
} zq_chip_string;

typedef struct {
    unsigned chip_id;
    unsigned rom_kib; /* the mask ROM: 32, 64, 128 or 256 */
    /* As the ROM gives it: five characters ("276R0") and three bytes. */
    unsigned char rom_version[ZQ_CHIP_ROM_VERSION_SIZE];
    /* The firmware's version record as one text, when the SDK knows where
     * this chip keeps it. */
    int has_firmware_version;
    char firmware_version[ZQ_CHIP_FIRMWARE_VERSION_SIZE + 1];
    /* The USB ids as the parameter table stores them (vendor, then
     * product, low byte first) and as numbers. */
    int has_usb_ids;
    unsigned char usb_ids[4];
    unsigned vendor_id, product_id;
    /* Each string, when its slot reads with a valid checksum. */
    int has_string[ZQ_CHIP_STRING_COUNT];
    char strings[ZQ_CHIP_STRING_COUNT][ZQ_CHIP_MAX_STRING + 1];
} zq_chip_identity;

/* Fills the controller's part of *identity (chip_id, rom_kib and
 * rom_version) from its registers and ROM, without reading the flash;
 * the rest is cleared.  ZQ_CHIP_ERR_UNKNOWN_CHIP when the controller or
 * its ROM is not one the SDK knows, with what was read kept. */
ZQ_EXPORT zq_chip_result zq_chip_identify(zq_chip *chip, zq_chip_identity *identity);
/* Fills all of *identity: as zq_chip_identify, then the firmware version,
 * USB ids and strings from the flash, each only as readable as it is. */
ZQ_EXPORT zq_chip_result zq_chip_read_identity(zq_chip *chip, zq_chip_identity *identity);

/* The flash's size in bytes, at most ZQ_CHIP_FLASH_WINDOW: from its JEDEC
 * id for parts the SDK knows (*size_from_id 1), else measured where its
 * addresses wrap.  size_from_id may be NULL. */
ZQ_EXPORT zq_chip_result zq_chip_flash_size(zq_chip *chip, long *size, int *size_from_id);
/* The flash's JEDEC id: manufacturer, device id 1 and 2. */
ZQ_EXPORT zq_chip_result zq_chip_flash_id(zq_chip *chip, unsigned char jedec_id[3]);
/* length bytes from offset into buffer; the range must lie within
 * ZQ_CHIP_FLASH_WINDOW. */
ZQ_EXPORT zq_chip_result zq_chip_read_flash(zq_chip *chip, long offset, unsigned char *buffer,
                                            long length);

/* Images shorter than their layout block are not firmware. */
#define ZQ_CHIP_MIN_FIRMWARE_LENGTH 0x168
/* A parameter table holds the USB ids and five string slots up to here. */
#define ZQ_CHIP_TABLE_MIN_LENGTH 0x180

/* Where a ROM finds the parameter table in a firmware image. */
typedef struct {
    unsigned long table_start, table_end; /* the table: [table_start, table_end) */
    unsigned long checksum_at;            /* its CRC-16/MODBUS, high byte first */
    unsigned stored_checksum;             /* what the image holds there */
    unsigned computed_checksum;           /* what the table's bytes give */
} zq_chip_image_table;

/* Finds the parameter table in a firmware image for the ROM whose version
 * (as zq_chip_identity has it) is rom_version, without asking a chip: the
 * handle need not hold one.  ZQ_CHIP_ERR_ARGUMENT when the image is too
 * short for its layout block or holds no table, with its checksum, where
 * that ROM looks for one. */
ZQ_EXPORT zq_chip_result zq_chip_find_table(zq_chip *chip, const unsigned char *rom_version,
                                            const unsigned char *image, long length,
                                            zq_chip_image_table *table);

/* Progress of a long operation: done of total, reaching total at the end;
 * user is handed back. */
typedef void (*zq_chip_progress)(int done, int total, void *user);

/* Burn flags.  The SDK compares every 8-byte group as it writes it; without
 * this flag it compares one group in 128, and zq_chip_burn reads the whole
 * image back afterwards instead. */
#define ZQ_CHIP_CHECK_EVERY_GROUP 1u

/* Erases the flash and writes the image (a firmware image of at least
 * CHIPCAM_MIN_FW_LENGTH bytes, at most the window), then verifies it.
 * flash_family is the flash's SERIAL_FLASH_TYPE (SFData.h), not
 * SFT_UNKNOW; it also picks the command set the firmware is given.
 * Progress counts the image's bytes.  ZQ_CHIP_ERR_WRITE when erasing,
 * writing or the check while writing failed, ZQ_CHIP_ERR_VERIFY when the
 * flash reads back differently afterwards. */
ZQ_EXPORT zq_chip_result zq_chip_burn(zq_chip *chip, const unsigned char *image, long length,
                                      int flash_family, unsigned flags, zq_chip_progress progress,
                                      void *user);

/* What zq_chip_write_settings changes; a NULL entry is left as it is.
 * Strings are 8-bit text of at most ZQ_CHIP_MAX_STRING characters. */
typedef struct {
    const char *strings[ZQ_CHIP_STRING_COUNT];
    const unsigned char *usb_ids; /* 4 bytes, stored as zq_chip_identity has them */
} zq_chip_settings;

/* Rewrites the flash sectors of the parameter table from image (the
 * flash's whole current contents, as zq_chip_read_flash gives them) with
 * the settings patched in and its checksum renewed, then reads every
 * changed setting back.  Steps go to the file at log_path unless it is
 * NULL; progress counts thousandths.  flash_family and flags as for
 * zq_chip_burn.  ZQ_CHIP_ERR_VERIFY names the setting that reads back
 * differently. */
ZQ_EXPORT zq_chip_result zq_chip_write_settings(zq_chip *chip, const unsigned char *image,
                                                long length, const zq_chip_settings *settings,
                                                int flash_family, unsigned flags,
                                                const char *log_path, zq_chip_progress progress,
                                                void *user);

/* Controller registers from addr on, one byte each. */
ZQ_EXPORT zq_chip_result zq_chip_read_registers(zq_chip *chip, unsigned addr, unsigned char *data,
                                                long count);
ZQ_EXPORT zq_chip_result zq_chip_write_registers(zq_chip *chip, unsigned addr,
                                                 const unsigned char *data, long count);
/* Image-sensor registers through the controller's I2C engine, two bytes a
 * register, high byte first (ChipCam_SensorRegisterCustomRead). */
ZQ_EXPORT zq_chip_result zq_chip_read_sensor(zq_chip *chip, unsigned slave_id, long addr,
                                             unsigned char *data, long count);
ZQ_EXPORT zq_chip_result zq_chip_write_sensor(zq_chip *chip, unsigned slave_id, long addr,
                                              const unsigned char *data, long count);

ZQ_EXTERN_C_END

#endif
