#include "support/file_size_limit.h"

#include "data_store/store_error.h"

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace khgl::test {

int runWithFileSizeLimit(qint64 limit, const std::function<int()>& work)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
        const rlimit size{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &size);
        int code = kChildThrew;
        try {
            code = work();
        } catch (const StoreError&) {
            code = kChildThrewStoreError;
        } catch (...) {
            code = kChildThrew;
        }
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

} // namespace khgl::test
