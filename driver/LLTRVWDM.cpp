#include "LLTRVWDM.h"

#include "trvwdm/trvwdm.h"

#include <QCoreApplication>
#include <QLibrary>
#include <memory>

namespace LLTRVWDM {
namespace {

struct Binding {
    std::unique_ptr<QLibrary> library;
    TInPortB inPortB = nullptr;
    TInPort inPort = nullptr;
    TOutPortB outPortB = nullptr;
    TOutPort outPort = nullptr;
    TQueryCardInfo queryCardInfo = nullptr;
    TGetNumCards getNumCards = nullptr;
    TGetDriverFault getDriverFault = nullptr;
    TIsCardBusy isCardBusy = nullptr;
    TTakePortError takePortError = nullptr;
    bool complete = false;
    bool loaded = false;
};

Binding &binding()
{
    static Binding b;
    return b;
}

template <typename F>
F resolve(QLibrary &lib, const char *name)
{
    return reinterpret_cast<F>(lib.resolve(name));
}

// Where an installed program keeps its hardware library: a path relative to
// the program's directory, fixed by the install directories at configure time.
QString InstalledLibrary()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/" TRVWDM_INSTALLED_DIR "/" TRVWDM_LIBRARY_NAME);
}

Binding &bound()
{
    Binding &b = binding();
    if (!b.loaded)
        LoadDriverLibrary();
    return b;
}

} // namespace

bool LoadDriverLibrary(const QString &fileName)
{
    Binding &b = binding();
    b = Binding{};
    b.loaded = true;
    auto lib = std::make_unique<QLibrary>(fileName.isEmpty() ? QStringLiteral(TRVWDM_LIBRARY_NAME) : fileName);
    if (!lib->load() && fileName.isEmpty())
        lib = std::make_unique<QLibrary>(InstalledLibrary());
    if (!lib->isLoaded() && !lib->load())
        return false; // b.library stays null: nothing was loaded
    b.inPortB = resolve<TInPortB>(*lib, "InPortB");
    b.inPort = resolve<TInPort>(*lib, "InPort");
    b.outPortB = resolve<TOutPortB>(*lib, "OutPortB");
    b.outPort = resolve<TOutPort>(*lib, "OutPort");
    b.queryCardInfo = resolve<TQueryCardInfo>(*lib, "QueryCardInfo");
    b.getNumCards = resolve<TGetNumCards>(*lib, "GetNumCards");
    b.getDriverFault = resolve<TGetDriverFault>(*lib, "GetDriverFault");
    b.isCardBusy = resolve<TIsCardBusy>(*lib, "IsCardBusy");
    b.takePortError = resolve<TTakePortError>(*lib, "TakePortError");
    b.complete = b.inPortB && b.inPort && b.outPortB && b.outPort && b.queryCardInfo && b.getNumCards;
    // The library stays loaded for the life of the process: the shared
    // library's own state (a card model, granted ports) must not be reset.
    b.library = std::move(lib);
    return b.complete;
}

bool DriverLibraryLoaded()
{
    return bound().library != nullptr;
}

bool DriverLibraryComplete()
{
    return bound().complete;
}

uint32_t InPortB(uint32_t port)
{
    const Binding &b = bound();
    return b.inPortB ? b.inPortB(port) : TRVWDM_DRIVER_ABSENT;
}

uint32_t InPort(uint32_t port)
{
    const Binding &b = bound();
    return b.inPort ? b.inPort(port) : 0;
}

void OutPortB(uint32_t port, uint32_t value)
{
    const Binding &b = bound();
    if (b.outPortB)
        b.outPortB(port, value);
}

void OutPort(uint32_t port, uint32_t value)
{
    const Binding &b = bound();
    if (b.outPort)
        b.outPort(port, value);
}

int32_t QueryCardInfo(int32_t cardIndex, uint32_t *deviceId, uint32_t *base)
{
    const Binding &b = bound();
    return b.queryCardInfo ? b.queryCardInfo(cardIndex, deviceId, base, nullptr, nullptr) : 0;
}

int32_t GetNumCards()
{
    const Binding &b = bound();
    return b.getNumCards ? b.getNumCards() : 0;
}

int32_t GetDriverFault()
{
    const Binding &b = bound();
    return b.getDriverFault ? b.getDriverFault() : 0;
}

bool IsCardBusy(int32_t cardIndex)
{
    const Binding &b = bound();
    return b.isCardBusy && b.isCardBusy(cardIndex) != 0;
}

int TakePortError()
{
    const Binding &b = bound();
    return b.takePortError ? b.takePortError() : 0;
}

} // namespace LLTRVWDM
