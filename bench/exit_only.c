/* The floor of a process start: no C library and no start-up code, only the exit system call,
 * with status 0, as each Linux target makes it. */
void _start(void) {
#if defined(__x86_64__)
    __asm__ volatile("syscall" : : "a"(60), "D"(0));
#elif defined(__i386__)
    __asm__ volatile("int $0x80" : : "a"(1), "b"(0));
#elif defined(__aarch64__)
    register long number __asm__("x8") = 93;
    register long status __asm__("x0") = 0;
    __asm__ volatile("svc 0" : : "r"(number), "r"(status));
#elif defined(__arm__)
    register long number __asm__("r7") = 1;
    register long status __asm__("r0") = 0;
    __asm__ volatile("svc 0" : : "r"(number), "r"(status));
#elif defined(__s390x__)
    register long status __asm__("r2") = 0;
    __asm__ volatile("svc 1" : : "r"(status)); /* the number is in the instruction */
#elif defined(__powerpc64__)
    register long number __asm__("r0") = 1;
    register long status __asm__("r3") = 0;
    __asm__ volatile("sc" : : "r"(number), "r"(status));
#elif defined(__mips__) && defined(_ABI64) && _MIPS_SIM == _ABI64
    register long number __asm__("$2") = 5058;
    register long status __asm__("$4") = 0;
    __asm__ volatile("syscall" : : "r"(number), "r"(status));
#elif defined(__riscv)
    register long number __asm__("a7") = 93;
    register long status __asm__("a0") = 0;
    __asm__ volatile("ecall" : : "r"(number), "r"(status));
#else
#error "no exit system call written for this target"
#endif
    for (;;) {
    }
}
