#include "SharedState.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace trvsim {
namespace {

constexpr uint32_t Initialising = 1;

// Sets (F_WRLCK) or clears (F_UNLCK) the header's lock without waiting.
bool SetHeaderLock(int fd, short type)
{
    struct flock header {};
    header.l_type = type;
    header.l_whence = SEEK_SET;
    header.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &header) == 0;
}

// The header's lock, which each process holds while it looks at the header
// and the first fills the segment. It goes with its holder's descriptor,
// so a segment still "initialising" while nobody holds it was left so by
// a creator that died midway. Waits 2 s at most for a holder.
bool LockHeader(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!SetHeaderLock(fd, F_WRLCK)) {
        if ((errno != EAGAIN && errno != EACCES) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

uint64_t Bits(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double FromBits(uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

void Copy(CardState &to, const CardState &from)
{
    for (int i = 0; i < SharedPotCount; ++i)
        to.pots[i] = from.pots[i].load();
    to.pin37 = from.pin37.load();
    to.calibratorVolts = from.calibratorVolts.load();
    for (int i = 0; i < 2; ++i) {
        to.dacRange[i] = from.dacRange[i].load();
        to.dacCode[i] = from.dacCode[i].load();
    }
    to.seed = from.seed.load();
}

} // namespace

static_assert(std::atomic<uint64_t>::is_always_lock_free && std::atomic<uint32_t>::is_always_lock_free,
              "the shared fields must be lock-free to live in shared memory");

double CardState::Pot(int i) const { return FromBits(pots[i].load()); }
void CardState::SetPot(int i, double position) { pots[i].store(Bits(position)); }
double CardState::Calibrator() const { return FromBits(calibratorVolts.load()); }
void CardState::SetCalibrator(double volts) { calibratorVolts.store(Bits(volts)); }

std::unique_ptr<SharedState> SharedState::Attach(const std::string &name, const CardState &initial, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = "shared card state " + name + ": " + why;
        return nullptr;
    };
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(std::strerror(errno));
    auto failClosing = [&](const std::string &why) {
        close(fd);
        return fail(why);
    };
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return failClosing(std::strerror(errno));
    if (st.st_uid != geteuid())
        return failClosing("the segment belongs to another user");
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return failClosing("the segment is writable by other users");
    if (st.st_size == 0 && ftruncate(fd, sizeof(Segment)) != 0)
        return failClosing(std::strerror(errno));
    if (st.st_size != 0 && size_t(st.st_size) < sizeof(Segment))
        return failClosing("the segment is smaller than this layout; another version made it");
    void *memory = mmap(nullptr, sizeof(Segment), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED)
        return failClosing(std::strerror(errno));
    auto *segment = static_cast<Segment *>(memory);
    std::unique_ptr<SharedState> state(new SharedState(segment, fd));

    // The first to come initialises, and so does the next after a creator
    // that died midway; the others find the card's state.
    if (!LockHeader(fd))
        return fail("another program keeps the segment's header locked");
    if (const uint32_t magic = segment->magic.load(); magic == 0 || magic == Initialising) {
        segment->magic = Initialising;
        segment->version = LayoutVersion;
        segment->size = sizeof(Segment);
        Copy(segment->card, initial);
        segment->magic = Magic;
    }
    SetHeaderLock(fd, F_UNLCK);
    if (segment->magic.load() != Magic)
        return fail("the segment does not hold a card's state");
    if (segment->version.load() != LayoutVersion || segment->size.load() != sizeof(Segment))
        return fail("layout version " + std::to_string(segment->version.load()) + ", this program uses version "
                    + std::to_string(LayoutVersion));
    return state;
}

void SharedState::Remove(const std::string &name)
{
    shm_unlink(name.c_str());
}

bool SharedState::Intact() const
{
    struct stat st {};
    return fstat(FFile, &st) == 0 && size_t(st.st_size) >= sizeof(Segment);
}

bool SharedState::TakeForDriving()
{
    return flock(FFile, LOCK_EX | LOCK_NB) == 0;
}

SharedState::~SharedState()
{
    munmap(FSegment, sizeof(Segment));
    close(FFile);
}

} // namespace trvsim
