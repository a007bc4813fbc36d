/* A port-I/O library with one PCI-RZ4070 whose I/O base lies above the
 * 16-bit ports, counting every port write it is asked for. */
#include <stdint.h>

static int writes;

int PortWrites(void) { return writes; }
uint32_t InPortB(uint32_t port) { (void)port; return 0x00; }
uint32_t InPort(uint32_t port) { (void)port; return 0; }
void OutPortB(uint32_t port, uint32_t value) { (void)port; (void)value; ++writes; }
void OutPort(uint32_t port, uint32_t value) { (void)port; (void)value; ++writes; }
int32_t QueryCardInfo(int32_t index, uint32_t *deviceId, uint32_t *base, void *p4, void *p5)
{
    (void)p4; (void)p5;
    if (index != 0)
        return 0;
    *deviceId = 0x6D21;
    *base = 0x1E800;
    return 1;
}
int32_t GetNumCards(void) { return 1; }
