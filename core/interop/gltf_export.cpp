#include "interop/gltf_export.h"

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <stb_image_write.h>
#include <tiny_gltf.h>
#include <unordered_map>

#include "interop/motion.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "support/FileOperations.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

constexpr int kNearest = 9728, kRepeat = 10497;
// The most node samples one animation takes (280 MB of floats).
constexpr double kMaxSamples = 1e7;

// Byte data laid out in one buffer, each view on a 4-byte boundary.
class TBufferWriter {
public:
    explicit TBufferWriter(tinygltf::Model& gltf) : gltf_(gltf) { gltf_.buffers.emplace_back(); }

    int View(const void* data, size_t bytes, int target = 0) {
        std::vector<unsigned char>& buffer = gltf_.buffers[0].data;
        while (buffer.size() % 4)
            buffer.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.size();
        view.byteLength = bytes;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), p, p + bytes);
        gltf_.bufferViews.push_back(view);
        return int(gltf_.bufferViews.size()) - 1;
    }

    // An accessor of floats, count items of `width` components, with its bounds when asked.
    int Floats(const std::vector<float>& values, int width, int type, bool bounds, int target = 0) {
        tinygltf::Accessor a;
        a.bufferView = View(values.data(), values.size() * sizeof(float), target);
        a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        a.type = type;
        a.count = values.size() / size_t(width);
        if (bounds) {
            a.minValues.assign(size_t(width), 1e300);
            a.maxValues.assign(size_t(width), -1e300);
            for (size_t i = 0; i < values.size(); ++i) {
                double& lo = a.minValues[i % size_t(width)];
                double& hi = a.maxValues[i % size_t(width)];
                lo = std::min(lo, double(values[i]));
                hi = std::max(hi, double(values[i]));
            }
        }
        gltf_.accessors.push_back(a);
        return int(gltf_.accessors.size()) - 1;
    }

    int Indices(const std::vector<uint32_t>& indices, size_t vertices) {
        tinygltf::Accessor a;
        if (vertices <= 65535) {
            std::vector<uint16_t> small(indices.begin(), indices.end());
            a.bufferView =
                View(small.data(), small.size() * 2, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        } else {
            a.bufferView =
                View(indices.data(), indices.size() * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        }
        a.type = TINYGLTF_TYPE_SCALAR;
        a.count = indices.size();
        gltf_.accessors.push_back(a);
        return int(gltf_.accessors.size()) - 1;
    }

private:
    tinygltf::Model& gltf_;
};

std::vector<double> QuatValues(const TQuat& q) {
    return {q.x, q.y, q.z, q.w};
}

double Linear(uint8_t c) {
    // Colours are shown as they are (sRGB); glTF's factors are linear.
    const double s = c / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

void AppendPng(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* p = static_cast<const unsigned char*>(data);
    out->insert(out->end(), p, p + size);
}

// The model's materials: each a texture picture as the view makes it, or a colour.
class TMaterials {
public:
    TMaterials(tinygltf::Model& gltf, TBufferWriter& buffer, const T3DO& model,
               const TPalette& palette)
        : gltf_(gltf), buffer_(buffer), model_(model), palette_(palette) {}

    // The glTF material of model material i, made when first used.
    int Of(int i) {
        if (auto it = made_.find(i); it != made_.end()) return it->second;
        tinygltf::Material m;
        m.pbrMetallicRoughness.metallicFactor = 0;
        m.pbrMetallicRoughness.roughnessFactor = 1;
        m.name = i >= 0 && i < int(model_.Materials.size()) ? model_.Materials[size_t(i)] : "";
        if (m.name.empty()) {
            m.name = "material " + std::to_string(i);
            m.pbrMetallicRoughness.baseColorFactor = {0.5, 0.5, 0.5, 1};
        } else {
            Fill(m, i);
        }
        gltf_.materials.push_back(m);
        return made_[i] = int(gltf_.materials.size()) - 1;
    }

    // The size of material i's picture, which its texture vertices count in (1 x 1 without).
    std::pair<double, double> Size(int i) {
        Of(i);
        const auto it = size_.find(i);
        return it == size_.end() ? std::pair(1.0, 1.0) : it->second;
    }

private:
    void Fill(tinygltf::Material& m, int i) {
        try {
            TMAT mat(FindResource(m.name));
            if (mat.Info.width && mat.Info.height) size_[i] = {mat.Info.width, mat.Info.height};
            if (mat.IsColour) {
                const TRGB c = palette_[mat.FillIndex];
                m.pbrMetallicRoughness.baseColorFactor = {Linear(c.r), Linear(c.g), Linear(c.b), 1};
                return;
            }
            const int w = mat.Info.width, h = mat.Info.height;
            const std::vector<uint8_t> rgb = ImageToRGB(mat, palette_);
            std::vector<unsigned char> png;
            if (w == 0 || h == 0 ||
                !stbi_write_png_to_func(AppendPng, &png, w, h, 3, rgb.data(), w * 3))
                throw Error("MAT picture has no pixels");
            tinygltf::Image image;
            image.name = m.name;
            image.mimeType = "image/png";
            image.bufferView = buffer_.View(png.data(), png.size());
            gltf_.images.push_back(image);
            if (gltf_.samplers.empty()) {
                tinygltf::Sampler s; // the view's: nearest texel, repeated
                s.magFilter = kNearest;
                s.minFilter = kNearest;
                s.wrapS = s.wrapT = kRepeat;
                gltf_.samplers.push_back(s);
            }
            tinygltf::Texture t;
            t.source = int(gltf_.images.size()) - 1;
            t.sampler = 0;
            gltf_.textures.push_back(t);
            m.pbrMetallicRoughness.baseColorTexture.index = int(gltf_.textures.size()) - 1;
        } catch (const Error& e) {
            LogMessage(mtWarning, "Material " + m.name + " is written grey: " + e.what());
            m.pbrMetallicRoughness.baseColorFactor = {0.5, 0.5, 0.5, 1};
        }
    }

    tinygltf::Model& gltf_;
    TBufferWriter& buffer_;
    const T3DO& model_;
    const TPalette& palette_;
    std::map<int, int> made_;
    std::map<int, std::pair<double, double>> size_;
};

// The mesh of a node: its faces grouped by material, fanned into triangles, each corner a
// vertex of its own position and texture coordinates, positions in the node's frame.
int AddMesh(tinygltf::Model& gltf, TBufferWriter& buffer, TMaterials& materials, const T3DO& model,
            const T3DOHNode& node) {
    const T3DOMesh& mesh = model.Meshes[node.Mesh];
    const TMat3 c = GameToGltf();
    std::unordered_map<const TVertex*, int> poolIndex;
    for (int i = 0; i < mesh.Faces.Vertices.Count(); ++i)
        poolIndex[&mesh.Faces.Vertices[i]] = i;
    struct TGroup {
        std::vector<float> Positions, Uvs;
        std::vector<uint32_t> Indices;
        std::map<std::tuple<int, float, float>, uint32_t> Corners;
    };
    std::map<int, TGroup> groups;
    for (const auto& face : mesh.Faces) {
        const int corners = face->Vertices.Count();
        if (corners < 3) continue;
        TGroup& g = groups[face->Material];
        // Texture vertices are in texels: the picture's size makes them 0..1.
        const auto [texW, texH] = materials.Size(face->Material);
        std::vector<uint32_t> ids;
        for (int k = 0; k < corners; ++k) {
            const TVertex& v = face->Vertices[k];
            const TTXVertex& t = face->TXVertices[k];
            const auto key = std::make_tuple(poolIndex[&v], t.u, t.v);
            auto [it, added] = g.Corners.try_emplace(key, uint32_t(g.Positions.size() / 3));
            if (added) {
                const TVec3 p = c * TVec3{v.x + node.PivotX, v.y + node.PivotY, v.z + node.PivotZ};
                g.Positions.insert(g.Positions.end(), {float(p.x), float(p.y), float(p.z)});
                g.Uvs.insert(g.Uvs.end(), {float(t.u / texW), float(t.v / texH)});
            }
            ids.push_back(it->second);
        }
        for (int k = 1; k + 1 < corners; ++k)
            g.Indices.insert(g.Indices.end(), {ids[0], ids[size_t(k)], ids[size_t(k + 1)]});
    }
    if (groups.empty()) return -1;
    tinygltf::Mesh out;
    out.name = mesh.Name;
    for (auto& [material, g] : groups) {
        tinygltf::Primitive p;
        p.mode = TINYGLTF_MODE_TRIANGLES;
        p.attributes["POSITION"] =
            buffer.Floats(g.Positions, 3, TINYGLTF_TYPE_VEC3, true, TINYGLTF_TARGET_ARRAY_BUFFER);
        p.material = materials.Of(material);
        // Texture coordinates only where a picture uses them.
        if (gltf.materials[size_t(p.material)].pbrMetallicRoughness.baseColorTexture.index >= 0)
            p.attributes["TEXCOORD_0"] =
                buffer.Floats(g.Uvs, 2, TINYGLTF_TYPE_VEC2, false, TINYGLTF_TARGET_ARRAY_BUFFER);
        p.indices = buffer.Indices(g.Indices, g.Positions.size() / 3);
        out.primitives.push_back(p);
    }
    gltf.meshes.push_back(out);
    return int(gltf.meshes.size()) - 1;
}

void SetTransform(tinygltf::Node& node, const TKEYPose& pose) {
    const TMat3 c = GameToGltf();
    const TVec3 t = c * TVec3{pose.X, pose.Y, pose.Z};
    const TQuat q = MatrixQuat(c * GameMatrix(pose) * Transposed(c));
    node.translation = {t.x, t.y, t.z};
    node.rotation = QuatValues(q);
}

TKEYPose RestPose(const T3DOHNode& h) {
    return {h.X, h.Y, h.Z, h.Pitch, h.Yaw, h.Roll};
}

std::string Stem(const std::string& name) {
    std::string s = PathName(name);
    const std::string ext = PathExt(s);
    return s.substr(0, s.size() - ext.size());
}

void AddAnimation(tinygltf::Model& gltf, TBufferWriter& buffer, const T3DO& model,
                  const TKEYFile& doc, double step) {
    const std::string name = doc.FullName.empty() ? doc.Name : doc.FullName;
    if (!(doc.FPS > 0) || !std::isfinite(doc.FPS))
        throw Error(name + " cannot be exported: its FPS is not above 0");
    if (doc.Frames < 1) throw Error(name + " cannot be exported: it has no frames");
    const double last = doc.Frames - 1;
    // Seven floats a node for every sample: bounded before any is made.
    const double samples = std::floor(last / step) + 2;
    if (samples * model.HNodes.Count() > kMaxSamples)
        throw Error(name + " cannot be exported: " + std::to_string(doc.Frames) + " frames of " +
                    std::to_string(model.HNodes.Count()) + " nodes are more samples than " +
                    std::to_string(int64_t(kMaxSamples)));
    std::vector<double> frames;
    for (int64_t i = 0; double(i) * step < last - 1e-9; ++i)
        frames.push_back(double(i) * step);
    frames.push_back(last);
    std::vector<float> times;
    for (double f : frames)
        times.push_back(float(f / doc.FPS));
    tinygltf::Animation anim;
    anim.name = Stem(doc.Name);
    const int input = buffer.Floats(times, 1, TINYGLTF_TYPE_SCALAR, true);
    const TMat3 c = GameToGltf();
    for (int j = 0; j < model.HNodes.Count(); ++j) {
        const int k = doc.NodeOfJoint(j);
        const bool keyed = k >= 0 && !doc.Nodes[k].Entries.Empty();
        std::vector<float> translation, rotation;
        TQuat previous;
        for (size_t i = 0; i < frames.size(); ++i) {
            const TKEYPose p = keyed ? PoseAtFrame(doc, k, frames[i]) : RestPose(model.HNodes[j]);
            const TVec3 t = c * TVec3{p.X, p.Y, p.Z};
            TQuat q = MatrixQuat(c * GameMatrix(p) * Transposed(c));
            // Neighbouring samples on one side of the sphere, so that no viewer turns the
            // long way between them.
            if (i > 0 &&
                q.w * previous.w + q.x * previous.x + q.y * previous.y + q.z * previous.z < 0)
                q = {-q.w, -q.x, -q.y, -q.z};
            previous = q;
            translation.insert(translation.end(), {float(t.x), float(t.y), float(t.z)});
            rotation.insert(rotation.end(), {float(q.x), float(q.y), float(q.z), float(q.w)});
        }
        for (const auto& [path, values, type] :
             {std::tuple{"translation", &translation, TINYGLTF_TYPE_VEC3},
              std::tuple{"rotation", &rotation, TINYGLTF_TYPE_VEC4}}) {
            tinygltf::AnimationSampler s;
            s.input = input;
            s.output = buffer.Floats(*values, type == TINYGLTF_TYPE_VEC3 ? 3 : 4, type, false);
            s.interpolation = "LINEAR";
            anim.samplers.push_back(s);
            tinygltf::AnimationChannel ch;
            ch.sampler = int(anim.samplers.size()) - 1;
            ch.target_node = j;
            ch.target_path = path;
            anim.channels.push_back(ch);
        }
    }
    tinygltf::Value::Array markers;
    for (const auto& m : doc.Markers)
        markers.push_back(tinygltf::Value(tinygltf::Value::Object{
            {"frame", tinygltf::Value(m->Frame)}, {"type", tinygltf::Value(int(m->MarkerType))}}));
    anim.extras =
        tinygltf::Value(tinygltf::Value::Object{{"fps", tinygltf::Value(doc.FPS)},
                                                {"frames", tinygltf::Value(int(doc.Frames))},
                                                {"flags", tinygltf::Value(int(doc.Flags))},
                                                {"type", tinygltf::Value(int(doc.KeyType))},
                                                {"markers", tinygltf::Value(markers)}});
    gltf.animations.push_back(anim);
}

} // namespace

TMat3 GameToGltf() {
    TMat3 c;
    c.m = {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}};
    return c;
}

std::string GltfBytes(const T3DO& model, const std::vector<const TKEYFile*>& keys,
                      const TPalette& palette, bool binary, const TExportOptions& options) {
    if (!(options.Step > 0) || !std::isfinite(options.Step) || options.Step > 1)
        throw Error("The step between samples must be above 0 and at most 1 frame");
    if (model.HNodes.Count() == 0) throw Error(model.FileName + " has no hierarchy nodes");
    tinygltf::Model gltf;
    gltf.asset.version = "2.0";
    gltf.asset.generator = std::string("Vorlin ") + VORLIN_VERSION;
    TBufferWriter buffer(gltf);
    TMaterials materials(gltf, buffer, model, palette);
    const int n = model.HNodes.Count();
    // A node whose chain of parents does not end at a root (a cycle) is taken as one.
    std::vector<int> parent(static_cast<size_t>(n), -1);
    for (int i = 0; i < n; ++i) {
        int a = i, steps = 0;
        while (a >= 0 && a < n && steps <= n) {
            a = model.HNodes[a].Parent;
            ++steps;
        }
        const int p = model.HNodes[i].Parent;
        if (steps <= n && a == -1 && p >= 0 && p < n) parent[size_t(i)] = p;
    }
    tinygltf::Scene scene;
    for (int i = 0; i < n; ++i) {
        const T3DOHNode& h = model.HNodes[i];
        tinygltf::Node node;
        node.name = h.Name;
        SetTransform(node, RestPose(h));
        if (h.Mesh >= 0 && h.Mesh < model.Meshes.Count())
            node.mesh = AddMesh(gltf, buffer, materials, model, h);
        for (int c = 0; c < n; ++c)
            if (parent[size_t(c)] == i) node.children.push_back(c);
        gltf.nodes.push_back(node);
        if (parent[size_t(i)] < 0) scene.nodes.push_back(i);
    }
    gltf.scenes.push_back(scene);
    gltf.defaultScene = 0;
    for (const TKEYFile* key : keys)
        AddAnimation(gltf, buffer, model, *key, options.Step);
    gltf.buffers[0].data.resize((gltf.buffers[0].data.size() + 3) / 4 * 4);

    std::ostringstream out;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&gltf, out, !binary, binary))
        throw Error("The glTF writer failed");
    return out.str();
}

void ExportGltf(const T3DO& model, const std::vector<const TKEYFile*>& keys,
                const TPalette& palette, const std::string& path, const TExportOptions& options) {
    const std::string ext = PathExt(path);
    if (!SameText(ext, ".glb") && !SameText(ext, ".gltf"))
        throw Error(path + ": the file must end in .glb or .gltf");
    ReplaceFileContents(path, GltfBytes(model, keys, palette, SameText(ext, ".glb"), options));
}

} // namespace vorlin
