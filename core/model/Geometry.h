// Vertices that carry their file and their posed world coordinates, texture vertices, and
// polygons that tie corners to both.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "support/errors.h"

namespace vorlin {

class TVertex {
public:
    double x = 0, y = 0, z = 0;    // as read, in the frame of the mesh's hierarchy node
    double tx = 0, ty = 0, tz = 0; // world position after the hierarchy transform
};

class TTXVertex {
public:
    float u = 0, v = 0; // texels
};

[[noreturn]] void RaiseVertexIndex(int index);

// References to vertices held elsewhere (a mesh's pool).
class TVertices {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TVertex& operator[](int i) const {
        if (i < 0 || i >= Count()) RaiseVertexIndex(i);
        return *items_[static_cast<size_t>(i)];
    }
    void Add(TVertex* v) { items_.push_back(v); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<TVertex*> items_;
};

class TTXVertices {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TTXVertex& operator[](int i) {
        if (i < 0 || i >= Count()) RaiseVertexIndex(i);
        return items_[static_cast<size_t>(i)];
    }
    const TTXVertex& operator[](int i) const { return const_cast<TTXVertices&>(*this)[i]; }
    void Add(TTXVertex v) { items_.push_back(v); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<TTXVertex> items_;
};

// One polygon: corners referring into a vertex pool, and one texture vertex per corner.
class TPolygon {
public:
    virtual ~TPolygon() = default;
    // Adds a corner with texture vertex (0, 0); returns the corner's index.
    int AddVertex(TVertex* vertex);

    TVertices Vertices;
    TTXVertices TXVertices;
};

// The vertex pool that a list of polygons points into. The pool owns its vertices; their
// addresses stay fixed while vertices are added.
class TPolygons {
public:
    TVertex& NewVertex();
    TVertices Vertices;

private:
    std::deque<TVertex> store_;
};

} // namespace vorlin
