// A port-I/O library with one of its two functions left out, for the start-up
// binding's tests (PORTIO_STUB_NO_INP or PORTIO_STUB_NO_OUT).
extern "C" {
#ifndef PORTIO_STUB_NO_INP
__attribute__((visibility("default"))) short Inp32(short port) {
    return static_cast<short>(port & 0);
}
#endif
#ifndef PORTIO_STUB_NO_OUT
__attribute__((visibility("default"))) void Out32(short port, short value) {
    (void)port;
    (void)value;
}
#endif
}
