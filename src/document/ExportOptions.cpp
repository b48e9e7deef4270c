#include "document/ExportOptions.h"

namespace kinovela {

namespace {

ExportOptions Record(const char* ext, int keyType, int keyAvail, int speed, int quality, int qualityAvail, int uv,
                     int uvAvail, int normals, int normalsAvail, int camera, int cameraAvail, int light, int lightAvail,
                     float scale, int coords, int coordsAvail)
{
    ExportOptions o;
    o.extension = ext;
    o.keyType = keyType;
    o.keyTypeAvailability = keyAvail;
    o.speed = speed;
    o.textureQuality = quality;
    o.textureQualityAvailability = qualityAvail;
    o.textureCoords = uv;
    o.textureCoordsAvailability = uvAvail;
    o.normals = normals;
    o.normalsAvailability = normalsAvail;
    o.camera = camera;
    o.cameraAvailability = cameraAvail;
    o.light = light;
    o.lightAvailability = lightAvail;
    o.scale = scale;
    o.coordinateSystem = coords;
    o.coordinateSystemAvailability = coordsAvail;
    return o;
}

}  // namespace

ExportOptionsTable::ExportOptionsTable()
{
    m_records = {
        //     ext    key kav spd  tq tqa uv uva nrm nra cam caa lgt lga scale coord ca
        Record("w3d", 0, -1, 0, 0, -1, 0, 0, 1, -1, 1, 1, 1, 1, 1.0f, 0, -1),
        Record("x", 0, 0, 150, 0, 0, 0, 0, 1, -1, 0, 1, 0, -1, 0.01f, 0, 0),
        Record("k3d", 1, -2, 0, 0, 0, 0, 0, 1, -1, 0, -1, 0, -1, 1.0f, 0, -1),
        Record("wrl", 0, -1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, -1, 1.0f, 0, -1),
        Record("mx", 0, -1, 0, 0, -1, 0, -1, 1, -1, 0, -1, 0, -1, 0.04f, 0, -1),
        Record("mqs", 1, -2, 0, 0, -1, 0, 0, 1, -1, 0, -1, 0, -1, 1.0f, 0, -1),
        Record("h", 0, -1, 0, 0, -1, 0, -1, 1, -1, 0, -1, 0, -1, 1.0f, 0, -1),
        // glTF: keys or none (its times come from the frame rate), texture
        // coordinates on, always right-handed.
        Record("gltf", 0, -1, 0, 0, -1, 1, 0, 1, -1, 0, 0, 0, -1, 0.01f, 1, -1),
    };
    ExportOptions& gltf = m_records.back();
    gltf.everyFrameAvailability = 0;
    gltf.embedTexturesAvailability = 0;
}

ExportOptions* ExportOptionsTable::Find(std::string_view ext)
{
    if (ext.size() == 3 && (ext[0] | 0x20) == 'g' && (ext[1] | 0x20) == 'l' && (ext[2] | 0x20) == 'b') ext = "gltf";
    for (ExportOptions& r : m_records) {
        if (r.extension.size() != ext.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < ext.size() && same; ++i) {
            char c = ext[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            same = c == r.extension[i];
        }
        if (same) return &r;
    }
    return nullptr;
}

}  // namespace kinovela
