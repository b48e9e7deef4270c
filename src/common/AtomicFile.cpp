#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/mman.h>
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

// Writes to a descriptor in large pieces, retrying short writes; keeps the
// first error.
class FdSink final : public ByteSink {
public:
    FdSink(int fd, std::uint64_t expected, const ProgressFn& progress) : m_fd(fd), m_throttle(progress, expected) {}

    void Write(const char* data, std::size_t size) override
    {
        while (size > 0 && m_error == 0) {
            const ssize_t w = ::write(m_fd, data, std::min<std::size_t>(size, 64u << 20));
            if (w < 0) {
                if (errno != EINTR) m_error = errno;
                continue;
            }
            if (w == 0) {
                m_error = ENOSPC;
                break;
            }
            data += w;
            size -= static_cast<std::size_t>(w);
            m_done += static_cast<std::uint64_t>(w);
            m_throttle.Report(m_done);
        }
    }
    int Error() const { return m_error; }
    void Finish() { m_throttle.Finish(); }

private:
    int m_fd;
    ProgressThrottle m_throttle;
    std::uint64_t m_done = 0;
    int m_error = 0;
};

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

WriteResult WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                                std::uint64_t expectedSize, const ProgressFn& progress)
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
        FdSink sink(fd, expectedSize, progress);
        produce(sink);
        int err = sink.Error();
        if (::close(fd) != 0 && err == 0) err = errno;
        if (err != 0) {
            result.error = Reason("cannot write", path, err);
            return result;
        }
        sink.Finish();
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
    int err = 0;
    if (::fchmod(fd, mode) != 0 && errno != EPERM) err = errno;
    FdSink sink(fd, expectedSize, progress);
    if (err == 0) {
        produce(sink);
        err = sink.Error();
    }
    // The data must be on disk before the rename makes it the file.
    if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        result.error = Reason("cannot write", path, err);
        return result;
    }
    sink.Finish();
    result.ok = true;
    return result;
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view data, const ProgressFn& progress)
{
    return WriteFileAtomically(path, [data](ByteSink& sink) { sink.Write(data.data(), data.size()); }, data.size(),
                               progress);
}

FileContents::~FileContents()
{
    if (m_map) ::munmap(m_map, m_mapSize);
}

namespace {

// Opens a file that is not a folder for reading; -1 with a reason otherwise.
int OpenForReading(const std::string& path, struct stat& st, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason("cannot open", path, errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = Reason("cannot read", path, S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool FileContents::Open(const std::string& path, std::string& error, const ProgressFn& progress)
{
    struct stat st{};
    const int fd = OpenForReading(path, st, error);
    if (fd < 0) return false;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        // Mapping avoids copying the file and zero-filling a buffer for it.
        const auto size = static_cast<std::size_t>(st.st_size);
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            ::close(fd);
            m_map = p;
            m_mapSize = size;
            m_view = std::string_view(static_cast<const char*>(p), size);
            if (progress) progress(size, size);
            return true;
        }
    }
    ::close(fd);
    if (!ReadWholeFile(path, m_copy, error, progress)) return false;
    m_view = m_copy;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, const ProgressFn& progress)
{
    struct stat st{};
    const int fd = OpenForReading(path, st, error);
    if (fd < 0) return false;
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
