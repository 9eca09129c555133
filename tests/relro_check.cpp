// Linked as the tool is: by the time main runs, the relocated data (the GNU_RELRO segment) must
// be read-only, however the C library and the target lay it out. Rewrites the segment's first
// byte with its own value, and exits 0 when the write faults, 1 when it goes through. Runs under
// an emulator too, which keeps the page protections of the program it runs.
#include <link.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace {

void exit_on_fault(int) {
    _exit(0);
}

// The first byte of the program's GNU_RELRO segment, where it is mapped.
int find_relro(struct dl_phdr_info *program, size_t, void *first_byte) {
    for (int i = 0; i < program->dlpi_phnum; ++i)
        if (program->dlpi_phdr[i].p_type == PT_GNU_RELRO)
            *static_cast<char **>(first_byte) =
                reinterpret_cast<char *>(program->dlpi_addr + program->dlpi_phdr[i].p_vaddr);
    return 1;  // the first object is the program itself
}

// Says on standard error why the check failed; returns the exit status for it.
int fail(const char *why) {
    size_t length = strlen(why);
    return write(STDERR_FILENO, why, length) == static_cast<ssize_t>(length) ? 1 : 2;
}

}  // namespace

int main() {
    char *relro = nullptr;
    dl_iterate_phdr(find_relro, &relro);
    if (relro == nullptr) return fail("no GNU_RELRO segment\n");
    struct sigaction on_fault = {};
    on_fault.sa_handler = exit_on_fault;
    sigaction(SIGSEGV, &on_fault, nullptr);
    sigaction(SIGBUS, &on_fault, nullptr);
    volatile char *byte = relro;
    *byte = *byte;
    return fail("the RELRO segment is writable in main\n");
}
