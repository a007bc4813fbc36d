/* A port-I/O library that answers 2^31 - 1 cards, every one a PCI-RZ4070. */
#include <stdint.h>

uint32_t InPortB(uint32_t port) { (void)port; return 0x00; }
uint32_t InPort(uint32_t port) { (void)port; return 0; }
void OutPortB(uint32_t port, uint32_t value) { (void)port; (void)value; }
void OutPort(uint32_t port, uint32_t value) { (void)port; (void)value; }
int32_t QueryCardInfo(int32_t index, uint32_t *deviceId, uint32_t *base, void *p4, void *p5)
{
    (void)p4; (void)p5;
    *deviceId = 0x6D21;
    *base = 0x1000u + 0x20u * (uint32_t)(index & 0x3FF);
    return 1;
}
int32_t GetNumCards(void) { return 0x7FFFFFFF; }
