/* What the shared library exports: the functions marked VORN3_API in the C header.
 * Everything else stays inside it. */
#ifndef VORN3_EXPORT_H
#define VORN3_EXPORT_H

#if defined(__GNUC__)
#define VORN3_API __attribute__((visibility("default")))
#else
#define VORN3_API
#endif

#endif
