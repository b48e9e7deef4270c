// Where the program and its texture folder are.
#pragma once

#include <string>
#include <vector>

namespace kinovela {

// The folder of the running executable, with a trailing '/' (from
// /proc/self/exe; the current folder when that cannot be read).
std::string ModuleDirectory();

// The file a material's texture name stands for: each of `firstFolders`,
// then the program's TEXTURE folder, then each of `extraFolders` and its
// TEXTURE subfolder. A '\' in the name is a folder separator. Empty when no
// such file exists.
std::string FindTextureFile(const std::string& textureName, const std::vector<std::string>& extraFolders = {},
                            const std::vector<std::string>& firstFolders = {});

}  // namespace kinovela
