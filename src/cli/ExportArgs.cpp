#include "cli/ExportArgs.h"

#include <charconv>
#include <cmath>

namespace kinovela::cli {

const char* const kExportOptionsHelp =
    "      --key-type srt|matrix|none   animation keys\n"
    "      --speed N                    time units per frame\n"
    "      --texture-quality standard|high\n"
    "      --uv | --no-uv               texture coordinates\n"
    "      --normals | --no-normals\n"
    "      --camera | --no-camera\n"
    "      --light | --no-light\n"
    "      --scale F                    multiplies positions, pivots and translations\n"
    "      --left-handed | --right-handed\n"
    "      --every-frame | --keys-only  glTF: a sample at every frame, or only where\n"
    "                                   the motion needs one (the key frames)\n"
    "      --embed-textures | --no-embed-textures\n"
    "                                   .gltf: pictures inside the .bin, or beside it\n"
    "      --safe-names                 identifiers of letters, digits and '_' only\n"
    "    Each format starts from its own defaults and refuses options it does not offer.\n";

std::string ApplyExportArgs(const std::vector<std::string>& args, ExportOptions& o, bool& safeNames,
                            std::string_view extension)
{
    const std::string fmt = "." + o.extension;
    std::string ext(extension);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    auto offered = [&](bool available, const std::string& what) -> std::string {
        return available ? std::string() : "the " + fmt + " format has no choice of " + what;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        std::string refused;
        if (a == "--key-type") {
            const std::string* v = value();
            if (!v) return "--key-type needs srt, matrix or none";
            const int type = *v == "srt" ? 0 : *v == "matrix" ? 1 : *v == "none" ? 2 : -1;
            if (type < 0) return "--key-type needs srt, matrix or none, not " + *v;
            if (!o.KeyTypeAllowed(type))
                return o.keyTypeAvailability == -2 ? "the " + fmt + " format always writes matrix keys"
                                                   : "the " + fmt + " format cannot write matrix keys";
            o.keyType = type;
        } else if (a == "--speed") {
            const std::string* v = value();
            if (!v) return "--speed needs a whole number";
            if (!(refused = offered(o.speed != 0, "animation speed")).empty()) return refused;
            int n = 0;
            const auto r = std::from_chars(v->data(), v->data() + v->size(), n);
            if (r.ec != std::errc() || r.ptr != v->data() + v->size()) return "--speed needs a whole number, not " + *v;
            o.speed = n;
        } else if (a == "--texture-quality") {
            const std::string* v = value();
            if (!v || (*v != "standard" && *v != "high")) return "--texture-quality needs standard or high";
            if (!(refused = offered(o.textureQualityAvailability != -1, "texture quality")).empty()) return refused;
            o.textureQuality = *v == "high" ? 1 : 0;
        } else if (a == "--uv" || a == "--no-uv") {
            if (!(refused = offered(o.textureCoordsAvailability != -1, "texture coordinates")).empty()) return refused;
            o.textureCoords = a == "--uv";
        } else if (a == "--normals" || a == "--no-normals") {
            if (!(refused = offered(o.normalsAvailability != -1, "normals")).empty()) return refused;
            o.normals = a == "--normals";
        } else if (a == "--camera" || a == "--no-camera") {
            if (!(refused = offered(o.cameraAvailability != -1, "camera")).empty()) return refused;
            o.camera = a == "--camera";
        } else if (a == "--light" || a == "--no-light") {
            if (!(refused = offered(o.lightAvailability != -1, "light")).empty()) return refused;
            o.light = a == "--light";
        } else if (a == "--scale") {
            const std::string* v = value();
            if (!v) return "--scale needs a number";
            double d = 0;
            const auto r = std::from_chars(v->data(), v->data() + v->size(), d);
            if (r.ec != std::errc() || r.ptr != v->data() + v->size() || !std::isfinite(static_cast<float>(d)))
                return "--scale needs a number, not " + *v;
            o.scale = static_cast<float>(d);
        } else if (a == "--left-handed" || a == "--right-handed") {
            if (!(refused = offered(o.coordinateSystemAvailability >= 0, "coordinate system")).empty()) return refused;
            o.coordinateSystem = a == "--right-handed" ? 1 : 0;
        } else if (a == "--every-frame" || a == "--keys-only") {
            if (!(refused = offered(o.everyFrameAvailability >= 0, "samples")).empty()) return refused;
            o.everyFrame = a == "--every-frame";
        } else if (a == "--embed-textures" || a == "--no-embed-textures") {
            if (!(refused = offered(o.embedTexturesAvailability >= 0, "embedded textures")).empty()) return refused;
            if (ext == "glb") {
                if (a == "--no-embed-textures") return "a .glb file always holds its textures";
            } else {
                o.embedTextures = a == "--embed-textures";
            }
        } else if (a == "--safe-names") {
            safeNames = true;
        } else {
            return "unknown export option: " + a;
        }
    }
    return {};
}

}  // namespace kinovela::cli
