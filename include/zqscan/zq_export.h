#ifndef ZQ_EXPORT_H
#define ZQ_EXPORT_H

/* libzqscan is built with hidden visibility; only what carries ZQ_EXPORT
 * is part of its interface. */
#define ZQ_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
#define ZQ_EXTERN_C_BEGIN extern "C" {
#define ZQ_EXTERN_C_END }
#else
#define ZQ_EXTERN_C_BEGIN
#define ZQ_EXTERN_C_END
#endif

#endif
