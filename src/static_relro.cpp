// musl's start-up for a static PIE applies its relocations but leaves the RELRO region (GOT,
// init and fini arrays, dynamic section) writable, where glibc's and every dynamic loader make
// it read-only. This constructor does the same before main runs. Linked only into musl builds.
#include <elf.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/mman.h>

// The ELF header as mapped: the linker defines it, under this reserved name, at the load address
// of a PIE.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" const ElfW(Ehdr) __ehdr_start __attribute__((visibility("hidden")));

namespace {

__attribute__((constructor)) void protect_relro() {
    // The image is mapped from a page boundary, so a page boundary of its addresses (p_vaddr) is
    // one in memory.
    char *image = const_cast<char *>(reinterpret_cast<const char *>(&__ehdr_start));
    const auto *headers = reinterpret_cast<const ElfW(Phdr) *>(image + __ehdr_start.e_phoff);
    ElfW(Addr) page_mask = ~static_cast<ElfW(Addr)>(getauxval(AT_PAGESZ) - 1);
    for (unsigned i = 0; i < __ehdr_start.e_phnum; ++i) {
        if (headers[i].p_type != PT_GNU_RELRO) continue;
        // The linker ends the region on a page boundary; its first page holds nothing else.
        ElfW(Addr) start = headers[i].p_vaddr & page_mask;
        ElfW(Addr) end = (headers[i].p_vaddr + headers[i].p_memsz) & page_mask;
        // A failure (a policy that forbids mprotect, a layout this arithmetic does not expect)
        // leaves the region writable, as musl itself would: hardening lost, not a reason to
        // stop a tool that must still print its record and exit 0.
        if (end > start) mprotect(image + start, end - start, PROT_READ);
    }
}

}  // namespace
