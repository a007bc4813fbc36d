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

/* Extensions beyond the six: a library without them reports no faults, no
 * errors and no busy card. */

/* Why the library cannot drive the cards it found, one TRVWDM_FAULT_...
 * value (the first cause met, in PCI-address order); 0 when it can. */
TRVWDM_EXPORT int32_t GetDriverFault(void);
/* Nonzero when card cardIndex (as QueryCardInfo lists it) is driven by
 * another program: it is listed, but its ports are neither read nor
 * written. Each call asks again, and a card that the other program has
 * let go of is taken for this one. */
TRVWDM_EXPORT int32_t IsCardBusy(int32_t cardIndex);
/* The errno value of the first port access on a card that failed since the
 * last call, 0 when none failed; the call clears it. */
TRVWDM_EXPORT int32_t TakePortError(void);

#define TRVWDM_FAULT_NONE 0
/* The card's file or VFIO group node cannot be opened: no permission. */
#define TRVWDM_FAULT_NO_ACCESS 1
/* The same, and the file or node does not belong to the card group: the
 * package's udev rule never ran for it. */
#define TRVWDM_FAULT_NOT_GRANTED 2
/* The kernel is locked down and the card is on the sysfs path, whose
 * writes it refuses; reads still work. */
#define TRVWDM_FAULT_LOCKDOWN 3
/* The card is bound to vfio-pci, but its IOMMU group is not viable: another
 * device of the group is bound to a host driver. */
#define TRVWDM_FAULT_GROUP_NOT_VIABLE 4
/* The card is bound to vfio-pci, but VFIO refused it otherwise. */
#define TRVWDM_FAULT_VFIO 5
/* The card's file is not a regular file (a directory, a pipe, a device),
 * or its node is not a character device. */
#define TRVWDM_FAULT_NOT_A_FILE 6
/* The card's file or node is a symbolic link (or a loop of them), which the
 * library never follows. */
#define TRVWDM_FAULT_LINK 7
/* The card's file or node could not be opened for another reason than
 * permission (an error from the kernel). */
#define TRVWDM_FAULT_UNUSABLE 8

/* The group that the package gives the cards' files and nodes. */
#define TRVWDM_CARD_GROUP "rz4070"

typedef uint32_t (*TInPortB)(uint32_t);
typedef uint32_t (*TInPort)(uint32_t);
typedef void (*TOutPortB)(uint32_t, uint32_t);
typedef void (*TOutPort)(uint32_t, uint32_t);
typedef int32_t (*TQueryCardInfo)(int32_t, uint32_t *, uint32_t *, void *, void *);
typedef int32_t (*TGetNumCards)(void);
typedef int32_t (*TGetDriverFault)(void);
typedef int32_t (*TIsCardBusy)(int32_t);
typedef int32_t (*TTakePortError)(void);

#define TRVWDM_LIBRARY_NAME "libtrvwdm.so.1"
#define TRVWDM_DRIVER_ABSENT 0xAA55u

#ifdef __cplusplus
}
#endif

#endif
