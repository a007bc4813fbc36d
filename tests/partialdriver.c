/* A port-I/O library with every entry point but GetNumCards. */
#include <stdint.h>

uint32_t InPortB(uint32_t port) { (void)port; return 0x11; }
uint32_t InPort(uint32_t port) { (void)port; return 0x2222; }
void OutPortB(uint32_t port, uint32_t value) { (void)port; (void)value; }
void OutPort(uint32_t port, uint32_t value) { (void)port; (void)value; }
int32_t QueryCardInfo(int32_t index, uint32_t *deviceId, uint32_t *base, void *p4, void *p5)
{
    (void)index; (void)deviceId; (void)base; (void)p4; (void)p5;
    return 0;
}
