// Where the program and its texture folder are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kinovela {

// The folder of the running executable, with a trailing '/' (from
// /proc/self/exe; the current folder when that cannot be read).
std::string ModuleDirectory();

// The program's own files (the TEXTURE folder, the English translation,
// the help pages) are beside the program, as in a build folder, or else in
// the data folder of an install: <prefix>/share/kinovela beside
// <prefix>/bin (KINOVELA_DATA_FROM_BIN, set by the build from the install
// layout). The path of `name` in the first of the two where it exists; the
// place beside the program when it is in neither.
std::string ProgramDataPath(std::string_view name);
// The program's TEXTURE folder (ProgramDataPath("TEXTURE")), with a
// trailing '/'.
std::string ProgramTextureFolder();

// A name stored in a document (Shift_JIS bytes) as a relative path: each '\'
// becomes '/', except the second byte of a double-byte character, which
// only looks like one ("ソ" is 0x83 0x5C).
std::string NameAsPath(std::string_view name);
// The same for a name in UTF-8, where a 0x5C byte is always '\' itself:
// read as Shift_JIS, a UTF-8 character ending in a lead-byte value ("い" is
// 0xE3 0x81 0x84) would keep the '\' after it.
std::string Utf8NameAsPath(std::string_view name);

// The file a material's texture name stands for: each of `firstFolders`,
// then the program's TEXTURE folder (ProgramTextureFolder), then each of `extraFolders` and its
// TEXTURE subfolder. The name is read with NameAsPath. Empty when no such
// file exists.
std::string FindTextureFile(const std::string& textureName, const std::vector<std::string>& extraFolders = {},
                            const std::vector<std::string>& firstFolders = {});

// The folders of a colon-separated list (as in KINOVELA_TEXTURE_PATH);
// empty entries are skipped.
std::vector<std::string> SplitFolderList(std::string_view list);

}  // namespace kinovela
