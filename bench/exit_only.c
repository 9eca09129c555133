/* The floor of a process start: no C library and no start-up code, only the exit system call,
 * with status 0, as each Linux target makes it: the instruction, the register that takes the
 * call's number, the number of exit, and the register that takes the status. */
#if defined(__x86_64__)
#define EXIT_CALL "syscall", "rax", 60, "rdi"
#elif defined(__i386__)
#define EXIT_CALL "int $0x80", "eax", 1, "ebx"
#elif defined(__aarch64__)
#define EXIT_CALL "svc 0", "x8", 93, "x0"
#elif defined(__arm__)
#define EXIT_CALL "svc 0", "r7", 1, "r0"
#elif defined(__s390x__)
#define EXIT_CALL "svc 0", "r1", 1, "r2"
#elif defined(__powerpc64__)
#define EXIT_CALL "sc", "r0", 1, "r3"
#elif defined(__mips__) && defined(_ABI64) && _MIPS_SIM == _ABI64
#define EXIT_CALL "syscall", "$2", 5058, "$4"
#elif defined(__riscv)
#define EXIT_CALL "ecall", "a7", 93, "a0"
#else
#error "no exit system call written for this target"
#endif

/* EXPAND makes the commas of EXIT_CALL separate EXIT's arguments. */
#define EXPAND(macro, arguments) macro(arguments)
#define EXIT(instruction, number_register, exit_number, status_register) \
    register long number __asm__(number_register) = exit_number;         \
    register long status __asm__(status_register) = 0;                   \
    __asm__ volatile(instruction : : "r"(number), "r"(status))

void _start(void) {
    EXPAND(EXIT, EXIT_CALL);
    for (;;) {
    }
}
