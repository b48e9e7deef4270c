// The export options of each format: one record per format, with the
// defaults below, kept for the program run (never saved) so that the next
// export of a format starts from the user's last choices. The application
// owns the one table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kinovela {

struct ExportOptions {
    std::string extension;  // without the dot
    int keyType = 0;        // 0 position/rotation/scale, 1 matrix, 2 none
    int keyTypeAvailability = 0;  // -2 only matrix, -1 matrix not allowed, else all
    int speed = 0;                // time units per frame; 0 makes the field read-only
    int textureQuality = 0;       // 0 standard, 1 high
    int textureQualityAvailability = 0;  // -1 disabled
    int textureCoords = 0;
    int textureCoordsAvailability = 0;  // -1 disabled
    int normals = 0;
    int normalsAvailability = 0;  // -1 disabled and forced on
    int camera = 0;
    int cameraAvailability = 0;  // -1 disabled
    int light = 0;
    int lightAvailability = 0;  // -1 disabled
    float scale = 1.0f;
    int coordinateSystem = 0;  // 0 left-handed, 1 right-handed
    int coordinateSystemAvailability = 0;  // negative: disabled
    // Offered by glTF only: a sample at every frame instead of only where
    // the motion needs one, and the pictures inside the .gltf's .bin.
    // Availability -2: the format has no such choice (the dialog hides it);
    // -1: shown but fixed.
    int everyFrame = 0;
    int everyFrameAvailability = -2;
    int embedTextures = 0;
    int embedTexturesAvailability = -2;

    bool KeyTypeAllowed(int type) const
    {
        if (keyTypeAvailability == -2) return type == 1;
        if (keyTypeAvailability == -1) return type != 1;
        return type >= 0 && type <= 2;
    }
};

class ExportOptionsTable {
public:
    // The records with their defaults, in the order Save As tests the
    // extensions: w3d, x, k3d, wrl, mx, mqs, h, gltf.
    ExportOptionsTable();

    // The record whose extension equals `ext` (ASCII case ignored), or null.
    // ".glb" shares the ".gltf" record: the two are one format, binary or not.
    ExportOptions* Find(std::string_view ext);
    const std::vector<ExportOptions>& Records() const { return m_records; }

private:
    std::vector<ExportOptions> m_records;
};

}  // namespace kinovela
