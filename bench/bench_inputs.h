// Inputs of the benchmarks, made afresh at the start of each run.
#pragma once

#include <memory>
#include <string>

#include "key/u_key.h"
#include "model/u_3dos.h"

namespace vorlin::bench {

// A model of `meshes` sheets of points with `vertices` vertices in all, hung in a binary tree
// of nodes, each face a quad of four neighbouring vertices. As in the game's models, a mesh is
// painted with one material (mesh k with material k % materials).
inline std::unique_ptr<T3DO> LargeModel(int meshes, int vertices, int materials) {
    auto m = std::make_unique<T3DO>();
    for (int i = 0; i < materials; ++i)
        m->Materials.push_back("m" + std::to_string(i) + ".mat");
    const int per = vertices / meshes;
    for (int k = 0; k < meshes; ++k) {
        T3DOMesh& mesh = m->Meshes.Add(T3DO::NewMesh());
        mesh.Name = "MESH" + std::to_string(k);
        for (int i = 0; i < per; ++i) {
            TVertex& v = mesh.Faces.NewVertex();
            v.x = 0.02 * (i % 10) - 0.1;
            v.y = 0.02 * ((i / 10) % 10) - 0.1;
            v.z = 0.01 * (i / 100);
        }
        for (int i = 0; i + 11 < per; i += 2) {
            auto face = std::make_shared<T3DOFace>();
            face->Material = k % materials;
            for (int c : {i, i + 1, i + 11, i + 10}) {
                int corner = face->AddVertex(&mesh.Faces.Vertices[c]);
                face->TXVertices[corner] = TTXVertex{float(c % 10) * 6, float(c / 10 % 10) * 6};
            }
            mesh.Faces.Add(face);
        }
        T3DOHNode& n = m->HNodes.Add();
        n.Name = "NODE" + std::to_string(k);
        n.Mesh = k;
        n.Parent = k == 0 ? -1 : (k - 1) / 2;
        n.X = 0.05 * (k % 3);
        n.Z = 0.1;
        n.Yaw = 10.0 * (k % 7);
    }
    m->ResetPose();
    m->TransformVertices();
    return m;
}

// A KEY with one node per model node, `entries` entries each `gap` frames apart, rates worked
// out.
inline std::unique_ptr<TKEYFile> LargeKey(const T3DO& model, int nodes, int entries, int gap = 10) {
    auto key = std::make_unique<TKEYFile>();
    key->Name = "large.key";
    key->Flags = 3;
    key->Frames = entries * gap;
    for (int n = 0; n < nodes; ++n) {
        TKEYNode& node = key->Nodes.Add();
        node.MeshName =
            n < model.HNodes.Count() ? model.HNodes[n].Name : "NODE" + std::to_string(n);
        for (int e = 0; e < entries; ++e) {
            TKEYEntry& entry = key->Nodes.Last().Entries.Add();
            entry.Frame = e * gap;
            entry.X = 0.001 * ((e * 37 + n) % 100);
            entry.Y = 0.5 - 0.0025 * (e % 13);
            entry.Z = 0.125 * (e % 3);
            entry.Pitch = (e * 7) % 360;
            entry.Yaw = (e * 11 + n) % 360;
            entry.Roll = (e * 3) % 360;
        }
    }
    key->RecalcAll();
    return key;
}

} // namespace vorlin::bench
