#include "model/Geometry.h"

namespace vorlin {

void RaiseVertexIndex(int index) {
    throw ListError("Vertex Index is out of bounds: " + std::to_string(index));
}

int TPolygon::AddVertex(TVertex* vertex) {
    Vertices.Add(vertex);
    TXVertices.Add(TTXVertex{});
    return Vertices.Count() - 1;
}

TVertex& TPolygons::NewVertex() {
    store_.emplace_back();
    Vertices.Add(&store_.back());
    return store_.back();
}

} // namespace vorlin
