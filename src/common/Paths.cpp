#include "common/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kinovela {

namespace {

bool IsFile(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

}  // namespace

std::string ModuleDirectory()
{
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return "./";
    buf.resize(static_cast<std::size_t>(n));
    const std::size_t slash = buf.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : buf.substr(0, slash + 1);
}

std::string FindTextureFile(const std::string& textureName, const std::vector<std::string>& extraFolders,
                            const std::vector<std::string>& firstFolders)
{
    if (textureName.empty()) return {};
    std::string name = textureName;
    for (char& c : name)
        if (c == '\\') c = '/';
    for (const std::string& folder : firstFolders)
        if (IsFile(WithSlash(folder) + name)) return WithSlash(folder) + name;
    const std::string first = ModuleDirectory() + "TEXTURE/" + name;
    if (IsFile(first)) return first;
    for (const std::string& folder : extraFolders) {
        for (const std::string& candidate : {WithSlash(folder) + name, WithSlash(folder) + "TEXTURE/" + name})
            if (IsFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace kinovela
