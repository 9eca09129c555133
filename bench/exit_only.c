/* The floor of a process start: no C library and no start-up code, only the exit system call. */
void _start(void) {
#if defined(__x86_64__)
    __asm__ volatile("syscall" : : "a"(60), "D"(0));
#elif defined(__aarch64__)
    register long number __asm__("x8") = 93;
    register long status __asm__("x0") = 0;
    __asm__ volatile("svc 0" : : "r"(number), "r"(status));
#else
#error "no exit system call written for this target"
#endif
    for (;;) {
    }
}
