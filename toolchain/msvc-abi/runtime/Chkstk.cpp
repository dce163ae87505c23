// Stack probing for frames larger than a page: the compiler passes the size
// in RAX and expects every register but R10 and R11 kept.
extern "C" __attribute__((naked)) void __chkstk() {
    __asm__ volatile("push %rcx\n\t"
                     "push %rax\n\t"
                     "lea 24(%rsp), %rcx\n\t"
                     "cmp $0x1000, %rax\n\t"
                     "jb 2f\n"
                     "1:\n\t"
                     "sub $0x1000, %rcx\n\t"
                     "test %rcx, (%rcx)\n\t"
                     "sub $0x1000, %rax\n\t"
                     "cmp $0x1000, %rax\n\t"
                     "ja 1b\n"
                     "2:\n\t"
                     "sub %rax, %rcx\n\t"
                     "test %rcx, (%rcx)\n\t"
                     "pop %rax\n\t"
                     "pop %rcx\n\t"
                     "ret");
}
