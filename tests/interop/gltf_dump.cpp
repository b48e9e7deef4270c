// Reads a .glb or .gltf with tinygltf (an independent reader) and prints
// what the interop test compares, as one JSON object: every node's name,
// parent and world matrix (column-major, from the nodes' own transforms),
// whether it has a mesh, and for each animation channel its target, sample
// count and first sample.
//   gltf_dump FILE
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

namespace {

using Matrix = std::array<double, 16>;  // column-major, as glTF stores matrices

Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return m;
}

Matrix Local(const tinygltf::Node& n)
{
    if (n.matrix.size() == 16) {
        Matrix m{};
        for (int i = 0; i < 16; ++i) m[i] = n.matrix[static_cast<std::size_t>(i)];
        return m;
    }
    const double t[3] = {n.translation.size() == 3 ? n.translation[0] : 0, n.translation.size() == 3 ? n.translation[1] : 0,
                         n.translation.size() == 3 ? n.translation[2] : 0};
    const double s[3] = {n.scale.size() == 3 ? n.scale[0] : 1, n.scale.size() == 3 ? n.scale[1] : 1,
                         n.scale.size() == 3 ? n.scale[2] : 1};
    double x = 0, y = 0, z = 0, w = 1;
    if (n.rotation.size() == 4) x = n.rotation[0], y = n.rotation[1], z = n.rotation[2], w = n.rotation[3];
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                         2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                         2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    Matrix m{};
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row) m[c * 4 + row] = r[c * 3 + row] * s[c];
    m[12] = t[0], m[13] = t[1], m[14] = t[2], m[15] = 1;
    return m;
}

std::vector<double> FirstSample(const tinygltf::Model& model, int accessorIndex, int& count)
{
    const tinygltf::Accessor& a = model.accessors.at(static_cast<std::size_t>(accessorIndex));
    const tinygltf::BufferView& v = model.bufferViews.at(static_cast<std::size_t>(a.bufferView));
    const tinygltf::Buffer& b = model.buffers.at(static_cast<std::size_t>(v.buffer));
    const int components = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type));
    count = static_cast<int>(a.count);
    std::vector<double> out;
    const auto* p = reinterpret_cast<const float*>(b.data.data() + v.byteOffset + a.byteOffset);
    for (int i = 0; i < components; ++i) out.push_back(p[i]);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gltf_dump FILE.glb|FILE.gltf\n");
        return 2;
    }
    const std::string path = argv[1];
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string error, warning;
    const bool binary = path.size() > 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                           : loader.LoadASCIIFromFile(&model, &error, &warning, path);
    if (!ok) {
        std::fprintf(stderr, "tinygltf cannot read %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }

    std::vector<int> parent(model.nodes.size(), -1);
    for (std::size_t i = 0; i < model.nodes.size(); ++i)
        for (int c : model.nodes[i].children) parent.at(static_cast<std::size_t>(c)) = static_cast<int>(i);
    nlohmann::json nodes = nlohmann::json::array();
    for (std::size_t i = 0; i < model.nodes.size(); ++i) {
        Matrix world = Local(model.nodes[i]);
        for (int p = parent[i]; p >= 0; p = parent[static_cast<std::size_t>(p)])
            world = Multiply(Local(model.nodes[static_cast<std::size_t>(p)]), world);
        const tinygltf::Node& n = model.nodes[i];
        nodes.push_back({{"name", n.name},
                         {"parent", parent[i]},
                         {"mesh", n.mesh >= 0},
                         {"camera", n.camera >= 0},
                         {"world", world},
                         {"translation", n.translation},
                         {"rotation", n.rotation},
                         {"scale", n.scale}});
    }
    nlohmann::json channels = nlohmann::json::array();
    for (const tinygltf::Animation& a : model.animations) {
        for (const tinygltf::AnimationChannel& c : a.channels) {
            const tinygltf::AnimationSampler& s = a.samplers.at(static_cast<std::size_t>(c.sampler));
            int count = 0, outputs = 0;
            const std::vector<double> first = FirstSample(model, s.output, outputs);
            FirstSample(model, s.input, count);
            channels.push_back({{"node", c.target_node},
                                {"path", c.target_path},
                                {"samples", count},
                                {"outputs", outputs},
                                {"first", first},
                                {"interpolation", s.interpolation}});
        }
    }
    const nlohmann::json out = {{"nodes", nodes},
                                {"meshes", model.meshes.size()},
                                {"materials", model.materials.size()},
                                {"images", model.images.size()},
                                {"channels", channels},
                                {"warning", warning}};
    std::printf("%s\n", out.dump().c_str());
    return 0;
}
