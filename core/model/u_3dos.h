// The 3DO model: materials, meshes and the node hierarchy, read from the game's text format,
// and the hierarchy transform that places every vertex in the world for the current pose.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/Geometry.h"
#include "support/ObjectList.h"

namespace vorlin {

class T3DOFace : public TPolygon {
public:
    int32_t Material = 0; // index into the model's Materials
    uint32_t FaceType = 0;
    int32_t Geo = 0;
    int32_t Light = 0;
    int32_t Tex = 0;
    float ExtraLight = 0;
};

class T3DOFaces : public TPolygons, public TObjectList<T3DOFace> {
public:
    T3DOFaces() : TObjectList("3DO Face Index is out of bounds: ") {}
};

class T3DOMesh {
public:
    // The largest distance of a vertex's file position from the origin; 0 without vertices.
    double Radius() const;

    std::string Name;
    T3DOFaces Faces; // Faces.Vertices is the mesh's vertex pool
};

class T3DOMeshes : public TObjectList<T3DOMesh> {
public:
    T3DOMeshes() : TObjectList("3DO Mesh Index is out of bounds: ") {}
};

class T3DOHNode {
public:
    std::string Name;
    int32_t Mesh = -1;   // -1: shows no mesh
    int32_t Parent = -1; // -1: a root
    int32_t Child = 0;
    int32_t Sibling = 0;
    double X = 0, Y = 0, Z = 0, Pitch = 0, Yaw = 0, Roll = 0; // base pose, from the file
    // Current pose: what the transform uses.
    double CurX = 0, CurY = 0, CurZ = 0, CurPitch = 0, CurYaw = 0, CurRoll = 0;
    double PivotX = 0, PivotY = 0, PivotZ = 0;

    void SetCurrentPose(double x, double y, double z, double pitch, double yaw, double roll) {
        CurX = x;
        CurY = y;
        CurZ = z;
        CurPitch = pitch;
        CurYaw = yaw;
        CurRoll = roll;
    }
};

class T3DOHNodes : public TObjectList<T3DOHNode> {
public:
    T3DOHNodes() : TObjectList("3DO Node Index is out of bounds: ") {}
};

class T3DO {
public:
    T3DO() = default;
    // Reads a model from a disk or container path, or finds a bare name with the resource
    // search. Opening errors reach the caller; an error while reading becomes one warning and
    // the model keeps what was read. The pose is reset and the vertices placed. A text with none
    // of a model's sections is refused with an error.
    explicit T3DO(const std::string& fileName, int geoset = 0);

    void ResetPose();
    // Places every shown mesh's vertices (tx, ty, tz) from the current poses.
    void TransformVertices();
    double Radius() const;
    // The smallest world height of any vertex after the transform; 0 without vertices.
    double LowestPoint();
    // Whether node is ancestor or lies below it.
    bool IsInSubtree(int ancestor, int node) const;
    static std::unique_ptr<T3DOMesh> NewMesh();

    std::string FileName;
    std::vector<std::string> Materials;
    T3DOMeshes Meshes;
    T3DOHNodes HNodes;

private:
    // Warns about parent links outside the list or in a cycle, and mesh numbers outside it;
    // the walks over the hierarchy stop at such links.
    void CheckHierarchy();
    bool ValidNode(int i) const { return i >= 0 && i < HNodes.Count(); }
};

} // namespace vorlin
