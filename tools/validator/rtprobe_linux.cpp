#include "rtprobe.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#if defined(__x86_64__) && defined(__linux__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#define GRAVELIX_SYSCALL_TRAP 1
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define GRAVELIX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define GRAVELIX_SANITIZED 1
#endif
#endif

namespace gravelix::validator {

#ifdef GRAVELIX_SANITIZED
bool RtProbe::allocationsVisible() {
    return true;
}
bool RtProbe::locksVisible() {
    return false;
}
#else
bool RtProbe::allocationsVisible() {
    return true;
}
bool RtProbe::locksVisible() {
    return true;
}
#endif

// Interposition already sees the whole program.
void RtProbe::watchProgram() {}

// ---------------------------------------------------------------------------------------
// System call trap: a seccomp filter sends every system call of the armed thread to a
// SIGSYS handler, except those made from one instruction in this file, through which the
// handler performs the original call. Nothing is refused; the calls are only counted.
#ifdef GRAVELIX_SYSCALL_TRAP
extern "C" long gravelixProbeSyscall(long nr, long a1, long a2, long a3, long a4, long a5, long a6);
extern "C" char gravelixProbeSyscallReturn[];
asm(R"(
    .text
    .p2align 4
    .globl gravelixProbeSyscall
    .hidden gravelixProbeSyscall
    .type gravelixProbeSyscall, @function
gravelixProbeSyscall:
    movq %rdi, %rax
    movq %rsi, %rdi
    movq %rdx, %rsi
    movq %rcx, %rdx
    movq %r8, %r10
    movq %r9, %r8
    movq 8(%rsp), %r9
    syscall
    .globl gravelixProbeSyscallReturn
    .hidden gravelixProbeSyscallReturn
gravelixProbeSyscallReturn:
    ret
    .size gravelixProbeSyscall, .-gravelixProbeSyscall
)");

namespace {

void onSigsys(int, siginfo_t* info, void* context) {
    auto* uc = static_cast<ucontext_t*>(context);
    greg_t* r = uc->uc_mcontext.gregs;
    const long nr = info->si_syscall;
    RtProbe::countSyscall(static_cast<int>(nr));
    if (nr == SYS_rt_sigprocmask) {
        // The handler's own mask is replaced on return; apply the change to the one that
        // sigreturn restores instead.
        const int how = static_cast<int>(r[REG_RDI]);
        auto* set = reinterpret_cast<const std::uint64_t*>(r[REG_RSI]);
        auto* old = reinterpret_cast<std::uint64_t*>(r[REG_RDX]);
        std::uint64_t mask;
        std::memcpy(&mask, &uc->uc_sigmask, sizeof mask);
        if (old != nullptr) {
            *old = mask;
        }
        if (set != nullptr) {
            if (how == SIG_BLOCK) {
                mask |= *set;
            } else if (how == SIG_UNBLOCK) {
                mask &= ~*set;
            } else {
                mask = *set;
            }
            // The trap's own signal must stay deliverable (threads block everything on exit).
            mask &= ~(std::uint64_t{1} << (SIGSYS - 1));
            std::memcpy(&uc->uc_sigmask, &mask, sizeof mask);
        }
        r[REG_RAX] = 0;
        return;
    }
    r[REG_RAX] = gravelixProbeSyscall(nr, r[REG_RDI], r[REG_RSI], r[REG_RDX], r[REG_R10], r[REG_R8],
                                      r[REG_R9]);
}

bool underValgrind() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

} // namespace

bool RtProbe::armSyscallTrap(std::string* why) {
#ifdef GRAVELIX_SANITIZED
    if (why) {
        *why = "not in sanitizer builds";
    }
    return false;
#else
    if (underValgrind()) {
        if (why) {
            *why = "not under valgrind";
        }
        return false;
    }
    struct sigaction sa {};
    sa.sa_sigaction = onSigsys;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGSYS, &sa, nullptr) != 0) {
        if (why) {
            *why = "SIGSYS handler refused";
        }
        return false;
    }
    const auto ip = reinterpret_cast<std::uint64_t>(gravelixProbeSyscallReturn);
    const auto lo = static_cast<std::uint32_t>(ip);
    const auto hi = static_cast<std::uint32_t>(ip >> 32);
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 9),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_rt_sigreturn, 7, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit, 6, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit_group, 5, 0),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, instruction_pointer)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, lo, 0, 2),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, instruction_pointer) + 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, hi, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog prog{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) != 0) {
        if (why) {
            *why = std::string("seccomp unavailable: ") + std::strerror(errno);
        }
        return false;
    }
    return true;
#endif
}
#else
bool RtProbe::armSyscallTrap(std::string* why) {
    if (why) {
        *why = "no syscall trap on this platform";
    }
    return false;
}
#endif

} // namespace gravelix::validator

// ---------------------------------------------------------------------------------------
// Interposers. Defined in the executable, they take precedence over the C library for the
// plug-in's calls too. Each counts when its thread is inside a process call and forwards.
using gravelix::validator::RtProbe;

#ifdef GRAVELIX_SANITIZED
// The sanitizer runtime owns malloc; it offers hooks instead.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {
void onSanitizerMalloc(const volatile void*, std::size_t) {
    RtProbe::countAllocation();
}
void onSanitizerFree(const volatile void* p) {
    if (p != nullptr) {
        RtProbe::countAllocation();
    }
}
[[maybe_unused]] const int g_hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(onSanitizerMalloc, onSanitizerFree);
} // namespace
#else
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

__attribute__((visibility("default"))) void* malloc(std::size_t n) {
    RtProbe::countAllocation();
    return __libc_malloc(n);
}
__attribute__((visibility("default"))) void* calloc(std::size_t n, std::size_t size) {
    RtProbe::countAllocation();
    return __libc_calloc(n, size);
}
__attribute__((visibility("default"))) void* realloc(void* p, std::size_t n) {
    RtProbe::countAllocation();
    return __libc_realloc(p, n);
}
__attribute__((visibility("default"))) void free(void* p) {
    if (p != nullptr) {
        RtProbe::countAllocation();
    }
    __libc_free(p);
}
__attribute__((visibility("default"))) void* memalign(std::size_t align, std::size_t n) {
    RtProbe::countAllocation();
    return __libc_memalign(align, n);
}
__attribute__((visibility("default"))) void* aligned_alloc(std::size_t align, std::size_t n) {
    RtProbe::countAllocation();
    return __libc_memalign(align, n);
}
__attribute__((visibility("default"))) int posix_memalign(void** out, std::size_t align,
                                                          std::size_t n) {
    if (align < sizeof(void*) || (align & (align - 1)) != 0) {
        return EINVAL;
    }
    RtProbe::countAllocation();
    void* p = __libc_memalign(align, n);
    if (p == nullptr && n != 0) {
        return ENOMEM;
    }
    *out = p;
    return 0;
}
__attribute__((visibility("default"))) void* valloc(std::size_t n) {
    RtProbe::countAllocation();
    return __libc_memalign(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), n);
}
__attribute__((visibility("default"))) void* pvalloc(std::size_t n) {
    RtProbe::countAllocation();
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return __libc_memalign(page, (n + page - 1) / page * page);
}
} // extern "C"

// Lock operations: the real function is looked up lazily with RTLD_NEXT (dlsym allocates
// through the interposers above, which forward without locking).
#define GRAVELIX_FORWARD(ret, name, params, args)                                                  \
    extern "C" __attribute__((visibility("default"))) ret name params {                            \
        using Fn = ret(*) params;                                                                  \
        static std::atomic<Fn> real{nullptr};                                                      \
        Fn fn = real.load(std::memory_order_relaxed);                                              \
        if (fn == nullptr) {                                                                       \
            fn = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, #name));                                    \
            real.store(fn, std::memory_order_relaxed);                                             \
        }                                                                                          \
        RtProbe::countLock();                                                                      \
        return fn args;                                                                            \
    }

GRAVELIX_FORWARD(int, pthread_mutex_lock, (pthread_mutex_t * m), (m))
GRAVELIX_FORWARD(int, pthread_mutex_trylock, (pthread_mutex_t * m), (m))
GRAVELIX_FORWARD(int, pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t),
                 (m, t))
GRAVELIX_FORWARD(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l))
GRAVELIX_FORWARD(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l))
GRAVELIX_FORWARD(int, pthread_rwlock_tryrdlock, (pthread_rwlock_t * l), (l))
GRAVELIX_FORWARD(int, pthread_rwlock_trywrlock, (pthread_rwlock_t * l), (l))
GRAVELIX_FORWARD(int, pthread_spin_lock, (pthread_spinlock_t * l), (l))
GRAVELIX_FORWARD(int, pthread_spin_trylock, (pthread_spinlock_t * l), (l))
GRAVELIX_FORWARD(int, sem_wait, (sem_t * s), (s))
GRAVELIX_FORWARD(int, sem_trywait, (sem_t * s), (s))
GRAVELIX_FORWARD(int, sem_timedwait, (sem_t * s, const struct timespec* t), (s, t))
GRAVELIX_FORWARD(int, sem_post, (sem_t * s), (s))
GRAVELIX_FORWARD(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
GRAVELIX_FORWARD(int, pthread_cond_timedwait,
                 (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t), (c, m, t))
GRAVELIX_FORWARD(int, pthread_cond_signal, (pthread_cond_t * c), (c))
GRAVELIX_FORWARD(int, pthread_cond_broadcast, (pthread_cond_t * c), (c))
#undef GRAVELIX_FORWARD
#endif
