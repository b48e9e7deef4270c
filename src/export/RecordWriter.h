// Little-endian binary records (the Hot Soup Processor model file), streamed
// through a buffer: a model file can run to gigabytes, so it is never held
// whole.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "common/AtomicFile.h"
#include "common/Progress.h"
#include "export/NonFinite.h"
#include "image/DibStream.h"

namespace kinovela {

class RecordWriter {
public:
    explicit RecordWriter(ByteSink& sink) : m_sink(sink) { m_buf.reserve(kFlushAt + 1024); }
    // The last piece goes out here. A Cancel that arrives with it comes too
    // late to stop anything, and a destructor must not throw.
    ~RecordWriter()
    {
        try {
            Flush();
        } catch (const WorkCancelled&) {
        }
    }
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    void U16(std::uint32_t v)
    {
        std::uint8_t b[2];
        PutU16(b, v);
        Bytes(b, 2);
    }
    void U32(std::uint32_t v)
    {
        std::uint8_t b[4];
        PutU32(b, v);
        Bytes(b, 4);
    }
    // A number that is not finite goes out as 0 (counted, see NonFinite.h).
    void F32(float v)
    {
        v = FiniteOrZero(v);
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Vec4(float x, float y, float z, float w)
    {
        F32(x);
        F32(y);
        F32(z);
        F32(w);
    }
    void Bytes(const void* p, std::size_t n)
    {
        m_buf.append(static_cast<const char*>(p), n);
        if (m_buf.size() >= kFlushAt) Flush();
    }
    void Flush()
    {
        if (!m_buf.empty()) m_sink.Write(m_buf.data(), m_buf.size());
        m_buf.clear();
    }

private:
    static constexpr std::size_t kFlushAt = 256u << 10;
    ByteSink& m_sink;
    std::string m_buf;
};

}  // namespace kinovela
