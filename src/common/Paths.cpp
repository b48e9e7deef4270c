#include "common/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#ifndef KINOVELA_DATA_FROM_BIN
#define KINOVELA_DATA_FROM_BIN "../share/kinovela"
#endif

namespace kinovela {

namespace {

bool IsFile(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

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

std::string ProgramDataPath(std::string_view name)
{
    const std::string beside = ModuleDirectory() + std::string(name);
    struct stat st{};
    if (::stat(beside.c_str(), &st) == 0) return beside;
    // Shown in messages (the folders a texture was looked for in), so
    // without the "bin/.." of the relative step.
    const std::string installed =
        std::filesystem::path(ModuleDirectory() + KINOVELA_DATA_FROM_BIN + "/" + std::string(name))
            .lexically_normal()
            .string();
    if (::stat(installed.c_str(), &st) == 0) return installed;
    return beside;
}

std::string ProgramTextureFolder() { return WithSlash(ProgramDataPath("TEXTURE")); }

std::string NameAsPath(std::string_view name)
{
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsShiftJisLead(static_cast<unsigned char>(out[i])) && i + 1 < out.size())
            ++i;  // the trail byte belongs to the character
        else if (out[i] == '\\')
            out[i] = '/';
    }
    return out;
}

std::string Utf8NameAsPath(std::string_view name)
{
    std::string out(name);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::vector<std::string> SplitFolderList(std::string_view list)
{
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t colon = list.find(':', start);
        if (colon == std::string_view::npos) colon = list.size();
        if (colon > start) folders.emplace_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

std::string FindTextureFile(const std::string& textureName, const std::vector<std::string>& extraFolders,
                            const std::vector<std::string>& firstFolders)
{
    if (textureName.empty()) return {};
    const std::string name = NameAsPath(textureName);
    for (const std::string& folder : firstFolders)
        if (IsFile(WithSlash(folder) + name)) return WithSlash(folder) + name;
    const std::string first = ProgramTextureFolder() + name;
    if (IsFile(first)) return first;
    for (const std::string& folder : extraFolders) {
        for (const std::string& candidate : {WithSlash(folder) + name, WithSlash(folder) + "TEXTURE/" + name})
            if (IsFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace kinovela
