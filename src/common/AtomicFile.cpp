#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kinovela {

namespace {

std::string Reason(const std::string& what, const std::string& path, int err)
{
    return what + " " + path + ": " + std::strerror(err);
}

// Writes everything, retrying short writes; errno is kept on failure.
bool WriteAll(int fd, std::string_view data, const ProgressFn& progress)
{
    constexpr std::size_t kChunk = 8u << 20;
    ProgressThrottle throttle(progress, data.size());
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t n = std::min(kChunk, data.size() - done);
        const ssize_t w = ::write(fd, data.data() + done, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(w);
        throttle.Report(done);
    }
    throttle.Finish();
    return true;
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

WriteResult WriteFileAtomically(const std::string& path, std::string_view data, const ProgressFn& progress)
{
    WriteResult result;
    struct stat st{};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        result.error = Reason("cannot write", path, EISDIR);
        return result;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) {
            result.error = Reason("cannot open", path, errno);
            return result;
        }
        const bool ok = WriteAll(fd, data, progress);
        const int err = errno;
        if (::close(fd) != 0 && ok) {
            result.error = Reason("cannot write", path, errno);
            return result;
        }
        if (!ok) {
            result.error = Reason("cannot write", path, err);
            return result;
        }
        result.ok = true;
        return result;
    }

    std::string tmp = path + ".kvtmp-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        result.error = Reason("cannot create a file beside", path, errno);
        return result;
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : NewFileMode();
    bool ok = ::fchmod(fd, mode) == 0 || errno == EPERM;
    int err = 0;
    if (ok && !WriteAll(fd, data, progress)) ok = false;
    if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) ok = false;
    if (!ok) err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        result.error = Reason("cannot write", path, err);
        return result;
    }
    result.ok = true;
    return result;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, const ProgressFn& progress)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason("cannot open", path, errno);
        return false;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = Reason("cannot read", path, S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return false;
    }
    out.clear();
    // The size is a hint only: a file that grows or shrinks while it is read
    // is read to its real end.
    const std::uint64_t hint = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    ProgressThrottle throttle(progress, hint);
    out.resize(static_cast<std::size_t>(hint) + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == out.size()) out.resize(out.size() * 2 + 65536);
        const ssize_t r = ::read(fd, out.data() + done, out.size() - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            error = Reason("cannot read", path, errno);
            ::close(fd);
            return false;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
        throttle.Report(done);
    }
    ::close(fd);
    out.resize(done);
    return true;
}

}  // namespace kinovela
