#include "TestUtil.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kinovela::test {

TempDir::TempDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "kinovela-test-XXXXXX").string();
    if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    m_path = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

MqoImportResult ImportText(CKinovela& scene, const CTimeline& t, const std::string& text, int parent)
{
    // fmemopen refuses an empty buffer; a one-byte buffer of zero length
    // gives an empty stream.
    std::string copy = text;
    if (copy.empty()) copy.push_back('\0');
    std::FILE* f = ::fmemopen(copy.data(), text.empty() ? 0 : copy.size(), "rb");
    if (!f) f = ::fmemopen(copy.data(), copy.size(), "rb");
    MqoImportResult r = LoadMQOStream(scene, t, f, parent, "test.mqo");
    std::fclose(f);
    return r;
}

std::string Mqo(const std::string& body) { return "Metasequoia Document\nFormat Text Ver 1.0\n" + body; }

std::string MqoObject(const std::string& name, const std::string& vertices, const std::string& faces,
                      const std::string& attributes)
{
    std::string s = "Object \"" + name + "\" {\n" + attributes;
    std::istringstream v(vertices), f(faces);
    std::string line;
    int nv = 0, nf = 0;
    std::string vb, fb;
    while (std::getline(v, line))
        if (!line.empty()) {
            vb += "\t\t" + line + "\n";
            ++nv;
        }
    while (std::getline(f, line))
        if (!line.empty()) {
            fb += "\t\t" + line + "\n";
            ++nf;
        }
    s += "\tvertex " + std::to_string(nv) + " {\n" + vb + "\t}\n";
    s += "\tface " + std::to_string(nf) + " {\n" + fb + "\t}\n}\n";
    return s;
}

}  // namespace kinovela::test
