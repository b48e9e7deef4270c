// Helpers shared by the unit tests: temporary folders, whole-file I/O and
// importing a document held in a string.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "mqo/LoaderMQO.h"
#include "scene/Kinovela.h"

namespace kinovela::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Component-wise closeness of two vectors.
inline void ExpectNear(const CVector& a, const CVector& b, float eps = 1e-3f)
{
    EXPECT_NEAR(a.m_x, b.m_x, eps);
    EXPECT_NEAR(a.m_y, b.m_y, eps);
    EXPECT_NEAR(a.m_z, b.m_z, eps);
}

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

// Imports `text` as a Metasequoia document through an in-memory stream.
MqoImportResult ImportText(CKinovela& scene, const CTimeline& t, const std::string& text, int parent = kNoModel);

// "Metasequoia Document\nFormat Text Ver 1.0\n" followed by `body`.
std::string Mqo(const std::string& body);

// An object chunk with the given vertex and face lines (each without tabs or
// line ends).
std::string MqoObject(const std::string& name, const std::string& vertices, const std::string& faces,
                      const std::string& attributes = "");

}  // namespace kinovela::test
