// musl's start-up for a static PIE applies its relocations but leaves the RELRO region (GOT,
// init and fini arrays, dynamic section) writable, where glibc's and every dynamic loader make
// it read-only. This constructor does the same before main runs. Linked only into musl builds.
#include <elf.h>
#include <link.h>
#include <stdint.h>
#include <sys/auxv.h>
#include <sys/mman.h>

// The ELF header as mapped: the linker defines it, at the load address of a PIE.
extern "C" const ElfW(Ehdr) __ehdr_start __attribute__((visibility("hidden")));

namespace {

__attribute__((constructor)) void protect_relro() {
    uintptr_t base = reinterpret_cast<uintptr_t>(&__ehdr_start);
    const auto *headers = reinterpret_cast<const ElfW(Phdr) *>(base + __ehdr_start.e_phoff);
    uintptr_t page_mask = ~static_cast<uintptr_t>(getauxval(AT_PAGESZ) - 1);
    for (unsigned i = 0; i < __ehdr_start.e_phnum; ++i) {
        if (headers[i].p_type != PT_GNU_RELRO) continue;
        // The linker ends the region on a page boundary; its first page holds nothing else.
        uintptr_t start = (base + headers[i].p_vaddr) & page_mask;
        uintptr_t end = (base + headers[i].p_vaddr + headers[i].p_memsz) & page_mask;
        // A failure (a policy that forbids mprotect, a layout this arithmetic does not expect)
        // leaves the region writable, as musl itself would: hardening lost, not a reason to
        // stop a tool that must still print its record and exit 0.
        if (end > start) mprotect(reinterpret_cast<void *>(start), end - start, PROT_READ);
    }
}

}  // namespace
