/* C interface of the card maker's port-I/O library, libtrvwdm.so.1.
 *
 * Ports are absolute I/O addresses; every argument is a 32-bit value.
 * A library whose kernel side is missing answers InPortB with 0xAA55. */
#ifndef TRVWDM_H
#define TRVWDM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TRVWDM_EXPORT __attribute__((visibility("default")))

/* The byte read, in the low 8 bits; 0xAA55 when the kernel driver is absent. */
TRVWDM_EXPORT uint32_t InPortB(uint32_t port);
/* The 16-bit word read. */
TRVWDM_EXPORT uint32_t InPort(uint32_t port);
/* Writes the low 8 bits of value. */
TRVWDM_EXPORT void OutPortB(uint32_t port, uint32_t value);
/* Writes the low 16 bits of value. */
TRVWDM_EXPORT void OutPort(uint32_t port, uint32_t value);
/* Nonzero when card cardIndex (from 0) exists; then *deviceId and *base are
 * filled with its PCI device id and I/O base. p4 and p5 are always null. */
TRVWDM_EXPORT int32_t QueryCardInfo(int32_t cardIndex, uint32_t *deviceId, uint32_t *base, void *p4, void *p5);
/* Number of installed cards; zero or less means none. */
TRVWDM_EXPORT int32_t GetNumCards(void);

typedef uint32_t (*TInPortB)(uint32_t);
typedef uint32_t (*TInPort)(uint32_t);
typedef void (*TOutPortB)(uint32_t, uint32_t);
typedef void (*TOutPort)(uint32_t, uint32_t);
typedef int32_t (*TQueryCardInfo)(int32_t, uint32_t *, uint32_t *, void *, void *);
typedef int32_t (*TGetNumCards)(void);

#define TRVWDM_LIBRARY_NAME "libtrvwdm.so.1"
#define TRVWDM_DRIVER_ABSENT 0xAA55u

#ifdef __cplusplus
}
#endif

#endif
