// Binding to the port-I/O library, loaded by file name at run time.
//
// Every entry point is resolved by name. A missing library or entry point
// answers as a library whose kernel driver is not loaded: InPortB gives
// 0xAA55, reads give 0, writes do nothing, QueryCardInfo and GetNumCards 0.
#pragma once

#include <QString>
#include <cstdint>

namespace LLTRVWDM {

// Loads (or reloads) the library; the first operation called loads the
// default library if nothing was loaded yet. Returns whether all six entry
// points were found. The default name is looked up on the loader's search
// path first (where the simulated card is put), then in the installed
// program's own library directory.
bool LoadDriverLibrary(const QString &fileName = QString());
// Whether the library file was found and loaded.
bool DriverLibraryLoaded();
// Whether the loaded library has all six entry points.
bool DriverLibraryComplete();

uint32_t InPortB(uint32_t port);
uint32_t InPort(uint32_t port);
void OutPortB(uint32_t port, uint32_t value);
void OutPort(uint32_t port, uint32_t value);
int32_t QueryCardInfo(int32_t cardIndex, uint32_t *deviceId, uint32_t *base);
int32_t GetNumCards();

// The library's extensions; a library without them answers 0 to each.
// Why the cards cannot be driven (a TRVWDM_FAULT_... value).
int32_t GetDriverFault();
// Whether listed card `cardIndex` is driven by another program.
bool IsCardBusy(int32_t cardIndex);
// The errno value of the first failed port access since the last call.
int TakePortError();

} // namespace LLTRVWDM
