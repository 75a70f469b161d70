#include <gtest/gtest.h>

#include <optional>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "key/u_key.h"
#include "model/Geometry.h"
#include "model/geo_utils.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string Num(double v) {
    double r = std::round(v * 1e9) / 1e9;
    if (r == 0) r = 0; // no "-0"
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", r);
    return buf;
}

// A plain-text account of a model, compared with hand-written expectations.
std::string Describe(const T3DO& m, const std::vector<std::string>& warnings) {
    std::string s = "materials:";
    for (const auto& name : m.Materials)
        s += " " + name;
    s += "\n";
    for (int i = 0; i < m.Meshes.Count(); ++i) {
        const T3DOMesh& mesh = m.Meshes[i];
        s += "mesh " + std::to_string(i) + " " + mesh.Name + "\n";
        for (const TVertex* v : mesh.Faces.Vertices)
            s += " v " + Num(v->x) + " " + Num(v->y) + " " + Num(v->z) + " -> " + Num(v->tx) + " " +
                 Num(v->ty) + " " + Num(v->tz) + "\n";
        for (const auto& f : mesh.Faces) {
            char head[160];
            std::snprintf(head, sizeof head,
                          " f mat %d type 0x%X geo %d light %d tex %d extra %s:", f->Material,
                          f->FaceType, f->Geo, f->Light, f->Tex, Num(f->ExtraLight).c_str());
            s += head;
            for (int k = 0; k < f->Vertices.Count(); ++k) {
                int index = -1;
                for (int j = 0; j < mesh.Faces.Vertices.Count(); ++j)
                    if (&mesh.Faces.Vertices[j] == &f->Vertices[k]) index = j;
                s += " " + std::to_string(index) + "(" + Num(f->TXVertices[k].u) + "," +
                     Num(f->TXVertices[k].v) + ")";
            }
            s += "\n";
        }
    }
    for (const auto& p : m.HNodes) {
        const T3DOHNode& n = *p;
        s += "node " + n.Name + " mesh " + std::to_string(n.Mesh) + " parent " +
             std::to_string(n.Parent) + " pose " + Num(n.X) + " " + Num(n.Y) + " " + Num(n.Z) +
             " " + Num(n.Pitch) + " " + Num(n.Yaw) + " " + Num(n.Roll) + " pivot " + Num(n.PivotX) +
             " " + Num(n.PivotY) + " " + Num(n.PivotZ) + "\n";
    }
    T3DO& mm = const_cast<T3DO&>(m);
    s += "radius " + Num(m.Radius()) + " lowest " + Num(mm.LowestPoint()) + "\n";
    for (const auto& w : warnings)
        s += "warning " + w + "\n";
    return s;
}

void ExpectNear3(double x, double y, double z, double ex, double ey, double ez) {
    EXPECT_NEAR(x, ex, 1e-9);
    EXPECT_NEAR(y, ey, 1e-9);
    EXPECT_NEAR(z, ez, 1e-9);
}

} // namespace

// Every folder under tests/data/3do holds model.3do and expected[-geosetN].txt.
TEST(Model, GoldenCases) {
    int checked = 0;
    for (const auto& dir : fs::directory_iterator(VORLIN_TEST_DATA "/3do")) {
        for (const auto& file : fs::directory_iterator(dir.path())) {
            std::string name = file.path().filename().string();
            if (name.rfind("expected", 0) != 0) continue;
            int geoset = 0;
            if (auto at = name.find("-geoset"); at != std::string::npos)
                geoset = std::stoi(name.substr(at + 7));
            SCOPED_TRACE(dir.path().filename().string() + "/" + name);
            test::RecordingSink sink;
            T3DO model((dir.path() / "model.3do").string(), geoset);
            EXPECT_EQ(Describe(model, sink.warnings()), test::ReadAll(file.path().string()));
            ++checked;
        }
    }
    EXPECT_GE(checked, 11);
}

TEST(Geometry, RotationReferenceTable) {
    struct Case {
        double p, y, r, in[3], out[3];
    } cases[] = {
        {90, 0, 0, {0, 1, 0}, {0, 0, 1}},  {0, 90, 0, {1, 0, 0}, {0, 1, 0}},
        {0, 0, 90, {1, 0, 0}, {0, 0, -1}}, {90, 0, 90, {1, 0, 0}, {0, 1, 0}},
        {90, 90, 0, {0, 1, 0}, {0, 0, 1}}, {30, 45, 60, {1, 2, 3}, {1.19007, 3.191272, 1.549038}},
    };
    for (const Case& c : cases) {
        TVector v;
        SetVec(v, c.in[0], c.in[1], c.in[2]);
        RotateVector(v, c.p, c.y, c.r);
        EXPECT_NEAR(v.x, c.out[0], 5e-7) << c.p << " " << c.y << " " << c.r;
        EXPECT_NEAR(v.y, c.out[1], 5e-7);
        EXPECT_NEAR(v.z, c.out[2], 5e-7);
    }
    TMatrix m, inverse;
    RotationMatrix(m, 0, 0, 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(m[i][j], i == j ? 1.0 : 0.0);
    RotationMatrix(m, 90, 0, 0);
    RotationMatrix(inverse, -90, 0, 0);
    MatMultiply(m, inverse);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(m[i][j], i == j ? 1.0 : 0.0, 1e-15);
    TMatrix keep = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    AxisMatrix(keep, 3, 45);
    EXPECT_EQ(keep[2][1], 8);
}

TEST(Geometry, PolygonsAndVertexLists) {
    TPolygons pool;
    TVertex& a = pool.NewVertex();
    TVertex& b = pool.NewVertex();
    {
        TPolygon poly;
        EXPECT_EQ(poly.AddVertex(&a), 0);
        EXPECT_EQ(poly.AddVertex(&b), 1);
        EXPECT_EQ(poly.TXVertices.Count(), 2);
        EXPECT_EQ(poly.TXVertices[1].u, 0.0f);
    }
    b.x = 4; // still alive after the polygon went
    EXPECT_EQ(pool.Vertices[1].x, 4);
    for (int bad : {-1, 2}) {
        try {
            pool.Vertices[bad];
            FAIL();
        } catch (const ListError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Vertex Index is out of bounds: " + std::to_string(bad));
        }
    }
}

namespace {

// root at (5,0,0) > child at (0,0,1) with yaw 90, showing a mesh with the vertex (1,0,0).
std::unique_ptr<T3DO> Chain() {
    auto m = std::make_unique<T3DO>();
    T3DOMesh& mesh = m->Meshes.Add(T3DO::NewMesh());
    mesh.Name = "ARM";
    TVertex& v = mesh.Faces.NewVertex();
    v.x = 1;
    T3DOHNode& root = m->HNodes.Add();
    root.Name = "ROOT";
    root.X = 5;
    T3DOHNode& child = m->HNodes.Add();
    child.Name = "ARM";
    child.Mesh = 0;
    child.Parent = 0;
    child.Z = 1;
    child.Yaw = 90;
    m->ResetPose();
    m->TransformVertices();
    return m;
}

} // namespace

TEST(Model, TwoLevelChainAndSubtrees) {
    auto m = Chain();
    const TVertex& v = m->Meshes[0].Faces.Vertices[0];
    ExpectNear3(v.tx, v.ty, v.tz, 5, 1, 1);
    EXPECT_TRUE(m->IsInSubtree(1, 1));
    EXPECT_TRUE(m->IsInSubtree(0, 1));
    EXPECT_FALSE(m->IsInSubtree(1, 0));
    EXPECT_TRUE(m->IsInSubtree(-1, 0));
    EXPECT_EQ(m->Radius(), 1);
    EXPECT_NEAR(m->LowestPoint(), 1, 1e-12);
    EXPECT_EQ(T3DO().LowestPoint(), 0);
}

TEST(Model, PoseEvaluationAndReset) {
    auto m = Chain();
    TKEYFile key;
    key.Frames = 30;
    TKEYNode& node = key.Nodes.Add();
    node.MeshName = "arm";
    node.NodeNumber = 1;
    TKEYEntry& e0 = key.Nodes[0].Entries.Add();
    e0.Flags = 3;
    e0.X = 0;
    e0.DX = 0.5;
    e0.Yaw = 350;
    e0.DYaw = 2;
    TKEYEntry& e1 = key.Nodes[0].Entries.Add();
    e1.Frame = 10;
    e1.X = 5;

    TKEYPose p = key.EvaluateNode(0, 4);
    EXPECT_EQ(p.X, 2);
    EXPECT_EQ(key.EvaluateNode(0, 10).X, 5);
    EXPECT_EQ(key.EvaluateNode(0, 6).Yaw, 2); // 362 wrapped once
    EXPECT_EQ(key.EvaluateNode(0, 25).X, 5);  // holds past the last entry

    key.ApplyToModel(*m, 4);
    EXPECT_EQ(m->HNodes[1].CurX, 2);
    EXPECT_EQ(m->HNodes[1].CurYaw, 358);
    EXPECT_EQ(m->HNodes[0].CurX, 5); // no KEY node: base pose
    m->ResetPose();
    m->TransformVertices();
    const TVertex& v = m->Meshes[0].Faces.Vertices[0];
    ExpectNear3(v.tx, v.ty, v.tz, 5, 1, 1);

    // Before its first entry a node is posed from entry 0, carried backwards by its rates.
    TKEYFile late;
    TKEYEntry& first = late.Nodes.Add().Entries.Add();
    first.Frame = 5;
    first.Flags = 1;
    first.X = 5;
    first.DX = 1;
    EXPECT_EQ(late.EvaluateNode(0, 4).X, 4);
    EXPECT_EQ(late.EvaluateNode(0, 0).X, 0);
}

// The game binds a KEY node to the model node whose index is its NODE number (names are
// labels), a later node of the same number replaces an earlier one, a node without entries or
// a number outside the model moves nothing, and only the rates the flags mark are applied.
TEST(Model, NodesBindByNumberAndFlagsGateTheRates) {
    T3DO m;
    for (const char* name : {"ARM", "BODY", "LEG", "HEAD"})
        m.HNodes.Add().Name = name;
    TKEYFile key;
    struct Node {
        std::optional<int32_t> number;
        int flags; // of the one entry at frame 0; none without entries
        double x, dx, pitch, dpitch;
    };
    const Node nodes[] = {
        {2, 3, 1, 1, 10, 1},           // drives LEG, whatever its name
        {std::nullopt, 1, 7, 1, 0, 0}, // no number: its place, 1 (BODY); position rates only
        {2, 2, 3, 1, 10, 1},           // replaces the first node on LEG; rotation rates only
        {9, 3, 5, 0, 0, 0},            // outside the model
        {0, -1, 0, 0, 0, 0},           // ARM: no entries, left at rest
    };
    for (const Node& n : nodes) {
        TKEYNode& node = key.Nodes.Add();
        node.MeshName = "HEAD";
        node.NodeNumber = n.number;
        if (n.flags < 0) continue;
        TKEYEntry& e = node.Entries.Add();
        e.Flags = n.flags;
        e.X = n.x;
        e.DX = n.dx;
        e.Pitch = n.pitch;
        e.DPitch = n.dpitch;
    }
    m.HNodes[0].X = 0.5; // ARM's rest pose
    key.ApplyToModel(m, 2);
    EXPECT_EQ(m.HNodes[0].CurX, 0.5);
    EXPECT_EQ(m.HNodes[1].CurX, 9);
    EXPECT_EQ(m.HNodes[2].CurX, 3); // the position rate is not marked
    EXPECT_EQ(m.HNodes[2].CurPitch, 12);
    EXPECT_EQ(m.HNodes[3].CurX, 0);
    EXPECT_EQ(key.NodeOfJoint(2), 2);
    EXPECT_EQ(key.NodeOfJoint(3), -1);
}

TEST(Model, OpensFromContainersAndReportsOpeningErrors) {
    TempDir dir;
    std::string text = test::ReadAll(VORLIN_TEST_DATA "/3do/comments_and_case/model.3do");
    std::string gob = dir.write("res2.gob", test::BuildGob({{"3do\\ky.3do", text}}));
    T3DO m(gob + ">3do\\ky.3do");
    EXPECT_EQ(m.Meshes.Count(), 2);
    ClearContainerCache();
    AssignDefaults();
    Settings.JKGOB = gob;
    T3DO byName("KY.3DO");
    EXPECT_EQ(byName.HNodes.Count(), 3);
    AssignDefaults();
    ClearContainerCache();
    EXPECT_THROW(T3DO(dir.file("none.3do")), IOError);
}

TEST(Model, CountsBeyondTheFileAreNotAllocated) {
    TempDir dir;
    std::string path =
        dir.write("big.3do", "SECTION: GEOMETRYDEF\nR\nINSERT OFFSET 0 0 0\nGEOSETS 1\n"
                             "GEOSET 0\nMESHES 2000000000\nMESH 0\nNAME a\n"
                             "VERTICES 2000000000\n0: 1 2 3\n");
    test::RecordingSink sink;
    T3DO m(path);
    ASSERT_EQ(m.Meshes.Count(), 1);
    EXPECT_EQ(m.Meshes[0].Faces.Vertices.Count(), 1);
    // A face claiming two billion corners on a short line stays small.
    std::string faces =
        dir.write("faces.3do", "SECTION: GEOMETRYDEF\nR\nINSERT OFFSET 0 0 0\nGEOSETS 1\n"
                               "GEOSET 0\nMESHES 1\nMESH 0\nNAME a\nVERTICES 1\n0: 0 0 0\n"
                               "TEXTURE VERTICES 0\nFACES 1\n0: 0 0 0 0 0 0 2000000000 0,0\n");
    T3DO f(faces);
    ASSERT_EQ(f.Meshes[0].Faces.Count(), 1);
    EXPECT_LE(f.Meshes[0].Faces[0].Vertices.Count(), 4096);
}

TEST(Model, ExtremeCountsGiveSensibleModels) {
    TempDir dir;
    test::RecordingSink sink;
    std::string path = dir.write("g.3do", "SECTION: GEOMETRYDEF\nRADIUS 1\nINSERT OFFSET 0 0 0\n"
                                          "GEOSETS -2147483648\nGEOSET 0\nMESHES 1\nMESH 0\n"
                                          "NAME m\nVERTICES 0\n");
    T3DO model(path);
    EXPECT_EQ(model.Meshes.Count(), 0); // no geoset can be the one asked for
}

TEST(Model, CornersStayInProportionToTheFile) {
    TempDir dir;
    test::RecordingSink sink;
    std::string text = "SECTION: GEOMETRYDEF\nRADIUS 1\nINSERT OFFSET 0 0 0\nGEOSETS 1\n"
                       "GEOSET 0\nMESHES 1\nMESH 0\nNAME m\nVERTICES 1\n0: 0 0 0\n"
                       "TEXTURE VERTICES 0\nFACES 2000\n";
    for (int i = 0; i < 2000; ++i)
        text += "0: 0 0x0 4 3 0 0 1024\n"; // each claims 1024 corners and names none
    std::string path = dir.write("c.3do", text);
    T3DO model(path);
    int64_t corners = 0;
    for (const auto& f : model.Meshes[0].Faces)
        corners += f->Vertices.Count();
    EXPECT_LE(corners, int64_t(text.size()) + 1024);
    EXPECT_GE(corners, 1024); // the rule itself still holds: missing corners are vertex 0
    EXPECT_EQ(sink.warnings(),
              std::vector<std::string>{"Face lines claim more corners than the file holds; the "
                                       "corners beyond it were left out"});
}
