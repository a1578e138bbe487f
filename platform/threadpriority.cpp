#include "threadpriority.h"

#include <sys/resource.h>
#if defined(__linux__)
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#endif

void LowerCurrentThreadPriority()
{
#if defined(__linux__)
    // On Linux the nice value belongs to the thread, so this leaves the rest
    // of the process alone.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, tid, getpriority(PRIO_PROCESS, tid) + 5);
#else
    sched_param param{};
    int policy = 0;
    if (pthread_getschedparam(pthread_self(), &policy, &param) == 0) {
        param.sched_priority = std::max(sched_get_priority_min(policy), param.sched_priority - 1);
        pthread_setschedparam(pthread_self(), policy, &param);
    }
#endif
}
