// A model and its animations as glTF 2.0 (.glb, or .gltf with its data inside): the hierarchy as
// nodes, each mesh with its faces, texture coordinates and materials (pictures made as the 3D
// view makes them), each KEY an animation sampled at every frame as the game poses it. The game
// is +Z up, glTF +Y up: a game point (x, y, z) is written as (x, z, -y), which an importer that
// turns +Y up into +Z up (Blender's) puts back where the game has it.
#pragma once

#include <string>
#include <vector>

#include "interop/rotation.h"
#include "model/graph_files.h"

namespace vorlin {

class T3DO;
class TKEYFile;

struct TExportOptions {
    // Frames between two samples: 1 every frame, 0.25 four samples a frame.
    double Step = 1;
};

// The game's axes to glTF's and back.
TMat3 GameToGltf();

// The file's bytes; binary for a .glb. Materials are found by the resource search and made
// into pictures through the palette; one that cannot be found is a grey material, with a
// warning. Raises an error for a KEY without frames or FPS.
std::string GltfBytes(const T3DO& model, const std::vector<const TKEYFile*>& keys,
                      const TPalette& palette, bool binary, const TExportOptions& options = {});

// Writes the file (.glb or .gltf by its extension) whole, or not at all.
void ExportGltf(const T3DO& model, const std::vector<const TKEYFile*>& keys,
                const TPalette& palette, const std::string& path,
                const TExportOptions& options = {});

} // namespace vorlin
