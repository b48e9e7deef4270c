#include "common/AtomicFile.h"

#include "common/Memory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kinovela {

namespace {

std::string Reason(const std::string& what, const std::string& path, int err)
{
    return what + " " + path + ": " + std::strerror(err);
}

WriteResult Failure(const std::string& what, const std::string& path, int err)
{
    WriteResult r;
    r.error = Reason(what, path, err);
    r.errorNumber = err;
    return r;
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
            StartWriteback();
        }
    }
    int Error() const { return m_error; }
    void Finish() { m_throttle.Finish(); }

private:
    // Starts writing each finished stretch to disk while the rest is still
    // being produced, so that the final fsync has little left to wait for.
    void StartWriteback()
    {
#ifdef SYNC_FILE_RANGE_WRITE
        constexpr std::uint64_t kStretch = 8u << 20;
        if (m_done - m_flushed < kStretch) return;
        ::sync_file_range(m_fd, static_cast<off_t>(m_flushed), static_cast<off_t>(m_done - m_flushed),
                          SYNC_FILE_RANGE_WRITE);
        m_flushed = m_done;
#endif
    }

    int m_fd;
    ProgressThrottle m_throttle;
    std::uint64_t m_done = 0;
    std::uint64_t m_flushed = 0;
    int m_error = 0;
};

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard()
{
    if (!m_temp.empty()) ::unlink(m_temp.c_str());
    m_temp.clear();
}

WriteResult PendingFile::Prepare(const std::string& path, const std::function<void(ByteSink&)>& produce,
                                 std::uint64_t expectedSize, const ProgressFn& progress)
{
    Discard();
    m_path = path;
    m_device = false;
    WriteResult result;
    struct stat st{};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Failure("cannot write", path, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        // A device cannot be replaced by a rename; it is written in place
        // (at once: there is nothing to put in place later).
        m_device = true;
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return Failure("cannot open", path, errno);
        FdSink sink(fd, expectedSize, progress);
        produce(sink);
        int err = sink.Error();
        if (::close(fd) != 0 && err == 0) err = errno;
        if (err != 0) return Failure("cannot write", path, err);
        sink.Finish();
        result.ok = true;
        return result;
    }

    // Saving through a symbolic link updates the file it points to and
    // keeps the link.
    m_target = path;
    if (exists) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            m_target = real;
            std::free(real);
        }
    }
    return PrepareTemporary(path, exists ? (st.st_mode & 07777) : NewFileMode(), produce, expectedSize, progress);
}

WriteResult PendingFile::PrepareReplacing(const std::string& path, const std::function<void(ByteSink&)>& produce,
                                          std::uint64_t expectedSize)
{
    Discard();
    m_path = path;
    m_target = path;
    m_device = false;
    struct stat st{};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Failure("cannot write", path, EISDIR);
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return Failure("will not replace", path, EEXIST);
    // A regular file keeps its permissions; a link is replaced by a new file.
    const bool regular = exists && S_ISREG(st.st_mode);
    return PrepareTemporary(path, regular ? (st.st_mode & 07777) : NewFileMode(), produce, expectedSize, {});
}

WriteResult PendingFile::PrepareTemporary(const std::string& path, mode_t mode,
                                          const std::function<void(ByteSink&)>& produce, std::uint64_t expectedSize,
                                          const ProgressFn& progress)
{
    WriteResult result;
    const std::size_t slash = m_target.find_last_of('/');
    std::string tmp = (slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1)) + ".kvtmp-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return Failure("cannot create a file beside", path, errno);
    m_temp = tmp;
    int err = 0;
    if (::fchmod(fd, mode) != 0 && errno != EPERM) err = errno;
    FdSink sink(fd, expectedSize, progress);
    if (err == 0) {
        try {
            produce(sink);
        } catch (...) {
            ::close(fd);
            Discard();
            throw;
        }
        err = sink.Error();
    }
    // The data must be on disk before a rename makes it the file.
    if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        Discard();
        return Failure("cannot write", path, err);
    }
    sink.Finish();
    result.ok = true;
    return result;
}

WriteResult PendingFile::Commit()
{
    WriteResult result;
    if (m_device) {
        result.ok = true;
        return result;
    }
    if (m_temp.empty()) {
        result.error = "nothing prepared for " + m_path;
        return result;
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        result = Failure("cannot write", m_path, errno);
        Discard();
        return result;
    }
    m_temp.clear();
    result.ok = true;
    return result;
}

WriteResult WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                                std::uint64_t expectedSize, const ProgressFn& progress)
{
    PendingFile file;
    const WriteResult prepared = file.Prepare(path, produce, expectedSize, progress);
    if (!prepared.ok) return prepared;
    return file.Commit();
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view data, const ProgressFn& progress)
{
    return WriteFileAtomically(path, [data](ByteSink& sink) { sink.Write(data.data(), data.size()); }, data.size(),
                               progress);
}

namespace {

// Opens a regular file for reading; -1 with a reason otherwise. A FIFO or a
// device is refused: the one would block, the other might never end.
int OpenForReading(const std::string& path, struct stat& st, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = Reason("cannot open", path, errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot read " + path + ": " + (S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file");
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Reads up to `size` bytes; false with errno set on a read error.
bool ReadFully(int fd, char* out, std::size_t size, std::size_t& got, const ProgressFn& progress)
{
    ProgressThrottle throttle(progress, size);
    got = 0;
    while (got < size) {
        const ssize_t r = ::read(fd, out + got, std::min<std::size_t>(size - got, 64u << 20));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) break;  // the file shrank while it was read
        got += static_cast<std::size_t>(r);
        throttle.Report(got);
    }
    return true;
}

}  // namespace

bool FileContents::Open(const std::string& path, std::string& error, const ProgressFn& progress)
{
    struct stat st{};
    const int fd = OpenForReading(path, st, error);
    if (fd < 0) return false;
    // Read into a buffer that is not zero-filled first (a mapping would be
    // cheaper still, but a file cut short by another program while it is
    // mapped would end the process with a signal).
    const auto size = static_cast<std::size_t>(st.st_size);
    m_buffer.reset(new char[size + 1]);
    AdviseHugePages(m_buffer.get(), size);
    std::size_t got = 0;
    const bool ok = ReadFully(fd, m_buffer.get(), size, got, progress);
    const int err = errno;
    ::close(fd);
    if (!ok) {
        error = Reason("cannot read", path, err);
        return false;
    }
    m_view = std::string_view(m_buffer.get(), got);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, const ProgressFn& progress)
{
    struct stat st{};
    const int fd = OpenForReading(path, st, error);
    if (fd < 0) return false;
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    const bool ok = ReadFully(fd, out.data(), out.size(), got, progress);
    const int err = errno;
    ::close(fd);
    if (!ok) {
        error = Reason("cannot read", path, err);
        return false;
    }
    out.resize(got);
    return true;
}

}  // namespace kinovela
