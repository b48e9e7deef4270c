// Saving a scene into another folder: the textures whose pictures would no
// longer be found from there, and copying them into its TEXTURE folder.
#pragma once

#include <string>
#include <vector>

#include "scene/Kinovela.h"

namespace kinovela {

// A texture a scene saved in another folder would not find, and the file
// its picture was loaded from.
struct TextureCopy {
    std::string name;    // the texture name, as stored
    std::string source;  // the file its picture was decoded from
};

// The textures of `scene` with a loaded picture that the texture search
// would not find for a document in `folder` (looking in `firstFolders`, the
// program's TEXTURE folder, `folder` and its TEXTURE folder). Each name
// once; names that lead out of a folder are left out, since no copy inside
// `folder` would be found under them.
std::vector<TextureCopy> TexturesLeftBehind(const CKinovela& scene, const std::string& folder,
                                            const std::vector<std::string>& firstFolders);

// The question asked before the copies are made (UTF-8).
std::string CopyTexturesQuestion(const std::vector<TextureCopy>& copies, const std::string& folder);

// Copies each picture to `folder`/TEXTURE under its texture name, all or
// none; a different file already there is kept. Returns the one message
// about what went wrong, empty when every copy is in place.
std::string CopyTexturesInto(const std::vector<TextureCopy>& copies, const std::string& folder);

}  // namespace kinovela
