#include "model/u_3dos.h"

#include <cmath>
#include <cstring>

#include "model/geo_utils.h"
#include "support/FileOperations.h"
#include "support/Files.h"
#include "support/misc_utils.h"

namespace vorlin {

double T3DOMesh::Radius() const {
    double r = 0;
    for (const TVertex* v : Faces.Vertices)
        r = std::max(r, std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z));
    return r;
}

namespace {

// A word that must be an integer: "'x' is not a valid integer value" otherwise.
int32_t StrictInt(const std::string& word) {
    int32_t v;
    if (word.empty() || !ValInt(word, v))
        throw ConvertError("'" + word + "' is not a valid integer value");
    return v;
}

// The longest line the reader hands out holds at most this many "v,t" corner pairs; a face
// claiming more is damaged, and its corners are not allocated beyond this.
constexpr int32_t kMaxCorners = TTextFile::kMaxLine / 4;

class ModelReader {
public:
    ModelReader(T3DO& model, TTextFile& text, int geoset)
        : model_(model), text_(text), geoset_(geoset),
          cornerBudget_(text.Source().FileSize() + kMaxCorners) {}

    void Run() {
        section_.clear();
        stop_ = false;
        for (;;) {
            while (section_.empty() && !text_.Eof())
                NextLine();
            if (text_.Eof()) return;
            stop_ = false;
            if (section_ == "GEOMETRYDEF" || section_ == "MODELRESOURCE" ||
                section_ == "HIERARCHYDEF")
                isModel = true;
            if (section_ == "GEOMETRYDEF")
                ReadGeometry();
            else if (section_ == "HEADER")
                section_.clear();
            else if (section_ == "MODELRESOURCE")
                ReadResources();
            else if (section_ == "HIERARCHYDEF")
                ReadHierarchy();
            else {
                section_.clear();
                while (!stop_)
                    NextLine();
            }
            if (text_.Eof()) return;
        }
    }

    // A section that only a model has came up.
    bool isModel = false;
    // Where the file ended before the counts it gave were met (the first place): a model cut
    // short would otherwise read as a smaller one without a word.
    std::string cutShort;

private:
    void Cut(const std::string& what, int64_t read, int64_t announced) {
        if (cutShort.empty())
            cutShort = "it ends inside " + what + " (" + std::to_string(read) + " of " +
                       std::to_string(announced) + " read)";
    }

    // The next significant line: cut at "#", trimmed, upper-cased. A section header or "END"
    // sets the stop flag, as does the end of the file (which leaves the line empty).
    void NextLine() {
        for (;;) {
            if (text_.Eof()) {
                line_.clear();
                stop_ = true;
                atEnd_ = true;
                return;
            }
            text_.ReadLn(raw_);
            if (SignificantLine(raw_, line_)) break;
        }
        if (line_ == "END") {
            section_.clear();
            stop_ = true;
        } else if (Word(1) == "SECTION:") {
            section_ = Word(2);
            stop_ = true;
        }
    }

    std::string Word(int n) const { return GetNthWord(line_, n); }

    // Reads lines until one starts with the keyword; false when a stop came first.
    bool SeekLine(const char* keyword) {
        for (;;) {
            if (stop_) return false;
            NextLine();
            if (Word(1) == keyword) return true;
        }
    }

    void ReadResources() {
        section_.clear();
        NextLine();
        int32_t n = StrictInt(Word(2));
        for (int32_t i = 0; i < n; ++i) {
            if (stop_) return;
            NextLine();
            // A section header or the end of the file is not a material.
            if (stop_ || Word(1) == "END") return;
            model_.Materials.push_back(Word(2));
        }
    }

    void ReadGeometry() {
        section_.clear();
        NextLine(); // not examined
        NextLine();
        double ox = 0, oy = 0, oz = 0;
        SScanf(line_, "INSERT OFFSET  %f %f %f", {&ox, &oy, &oz});
        NextLine();
        int32_t geosets = 0;
        SScanf(line_, "GEOSETS %d", {&geosets});
        int64_t wanted = geoset_; // 64 bits: a count of -2147483648 has no 32-bit predecessor
        if (wanted > int64_t(geosets) - 1) wanted = int64_t(geosets) - 1;
        for (;;) {
            if (!SeekLine("GEOSET")) return;
            if (StrictInt(Word(2)) == wanted) break;
        }
        NextLine();
        int32_t meshes = 0;
        SScanf(line_, "MESHES %d", {&meshes});
        for (int32_t k = 0; k < meshes; ++k) {
            if (stop_ || !ReadMesh()) {
                if (atEnd_) Cut("its meshes", k, meshes);
                return;
            }
        }
    }

    bool ReadMesh() {
        if (!SeekLine("MESH")) return false;
        NextLine();
        T3DOMesh& mesh = model_.Meshes.Add(T3DO::NewMesh());
        mesh.Name = Word(2);
        if (!SeekLine("VERTICES")) return false;
        int32_t n = 0;
        SScanf(line_, "VERTICES %d", {&n});
        std::string skip;
        for (int32_t i = 0; i < n && !atEnd_; ++i) {
            NextLine();
            if (atEnd_) { // counts are not trusted beyond the end of the file
                Cut("the vertices of mesh " + mesh.Name, i, n);
                break;
            }
            TVertex& v = mesh.Faces.NewVertex();
            SScanf(line_, "%s %f %f %f", {&skip, &v.x, &v.y, &v.z});
        }
        NextLine();
        int32_t t = 0;
        SScanf(line_, "TEXTURE VERTICES %d", {&t});
        texVerts_.clear();
        for (int32_t i = 0; i < t && !atEnd_; ++i) {
            NextLine();
            if (atEnd_) {
                Cut("the texture vertices of mesh " + mesh.Name, i, t);
                break;
            }
            TTXVertex tv;
            SScanf(line_, "%s %l %l", {&skip, &tv.u, &tv.v});
            texVerts_.push_back(tv);
        }
        if (!SeekLine("FACES")) return false;
        int32_t f = StrictInt(Word(2));
        for (int32_t i = 0; i < f && !atEnd_; ++i) {
            NextLine();
            if (atEnd_) {
                Cut("the faces of mesh " + mesh.Name, i, f);
                break;
            }
            ReadFace(mesh);
        }
        texVerts_.clear();
        return true;
    }

    void ReadFace(T3DOMesh& mesh) {
        auto face = std::make_shared<T3DOFace>();
        mesh.Faces.Add(face);
        std::string w;
        int pos = GetWord(line_, 1, w); // the face number
        pos = GetWord(line_, pos, w);
        ValInt(w, face->Material);
        pos = GetWord(line_, pos, w);
        ValHex(w, face->FaceType);
        pos = GetWord(line_, pos, w);
        ValInt(w, face->Geo);
        pos = GetWord(line_, pos, w);
        ValInt(w, face->Light);
        pos = GetWord(line_, pos, w);
        ValInt(w, face->Tex);
        pos = GetWord(line_, pos, w);
        ValSingle(w, face->ExtraLight);
        pos = GetWord(line_, pos, w);
        int32_t corners = std::min(StrictInt(w), kMaxCorners);
        const int len = static_cast<int>(line_.size());
        for (int32_t k = 0; k < corners; ++k) {
            // Corners a line lacks read as vertex 0, but a file cannot make more corners than
            // it has bytes: memory stays in proportion to the file, whatever its lines claim.
            if (cornersRead_ >= cornerBudget_) {
                if (!cornersCut_)
                    LogMessage(mtWarning, "Face lines claim more corners than the file holds; "
                                          "the corners beyond it were left out");
                cornersCut_ = true;
                break;
            }
            ++cornersRead_;
            // The vertex number runs to the next comma; the texture vertex is the word after it.
            std::string vtext;
            int i = pos;
            while (i <= len && line_[i - 1] != ',') {
                if (!IsBlank(line_[i - 1])) vtext += line_[i - 1];
                ++i;
            }
            pos = i <= len ? i + 1 : len + 1;
            pos = GetWord(line_, pos, w);
            int32_t vi = 0, ti = 0;
            ValInt(vtext, vi);
            ValInt(w, ti);
            int corner = face->AddVertex(&mesh.Faces.Vertices[vi]);
            if (ti >= 0 && ti < static_cast<int32_t>(texVerts_.size()))
                face->TXVertices[corner] = texVerts_[static_cast<size_t>(ti)];
        }
    }

    void ReadHierarchy() {
        section_.clear();
        NextLine();
        int32_t h = 0;
        SScanf(line_, "HIERARCHY NODES %d", {&h});
        std::string s1, s2, s3, s8;
        for (int32_t i = 0; i < h && !atEnd_; ++i) {
            NextLine();
            if (atEnd_) {
                Cut("its hierarchy nodes", i, h);
                break;
            }
            T3DOHNode& n = model_.HNodes.Add();
            SScanf(line_, "%s %s %s %d %d %d %d %s %f %f %f %f %f %f %f %f %f %s",
                   {&s1, &s2, &s3, &n.Mesh, &n.Parent, &n.Child, &n.Sibling, &s8, &n.X, &n.Y, &n.Z,
                    &n.Pitch, &n.Yaw, &n.Roll, &n.PivotX, &n.PivotY, &n.PivotZ, &n.Name});
        }
    }

    T3DO& model_;
    TTextFile& text_;
    int geoset_;
    std::string raw_;
    std::string line_;
    std::string section_;
    bool stop_ = false;
    bool atEnd_ = false;
    std::vector<TTXVertex> texVerts_;
    const int64_t cornerBudget_;
    int64_t cornersRead_ = 0;
    bool cornersCut_ = false;
};

} // namespace

namespace {
struct NotAModel {};
} // namespace

T3DO::T3DO(const std::string& fileName, int geoset) {
    std::unique_ptr<TFile> file =
        PathDir(fileName).empty() ? FindResource(fileName) : OpenFile(fileName);
    FileName = file->GetFullName(); // where a bare name was found
    bool isModel = false;
    try {
        TTextFile text(std::move(file));
        ModelReader reader(*this, text, geoset);
        try {
            reader.Run();
        } catch (const Error& e) {
            LogMessage(mtWarning, e.what());
        }
        isModel = reader.isModel;
        if (!isModel) throw NotAModel{};
        if (!reader.cutShort.empty())
            LogMessage(mtWarning, PathName(fileName) + " is cut short: " + reader.cutShort);
        CheckHierarchy();
        ResetPose();
        TransformVertices();
    } catch (const NotAModel&) {
    } catch (const Error& e) {
        LogMessage(mtWarning, e.what());
    }
    // A KEY or any other text read as a model would be an empty model without a word.
    if (!isModel)
        throw Error(PathName(fileName) +
                    " is not a 3DO model: it has none of a model's sections (MODELRESOURCE, "
                    "GEOMETRYDEF, HIERARCHYDEF)");
}

std::unique_ptr<T3DOMesh> T3DO::NewMesh() {
    return std::make_unique<T3DOMesh>();
}

void T3DO::CheckHierarchy() {
    const int n = HNodes.Count();
    for (int i = 0; i < n; ++i) {
        const T3DOHNode& node = HNodes[i];
        if (node.Mesh < -1 || node.Mesh >= Meshes.Count())
            LogMessage(mtWarning, "Node " + node.Name + " shows mesh " + std::to_string(node.Mesh) +
                                      ", which the model does not have");
        if (node.Parent < -1 || node.Parent >= n) {
            LogMessage(mtWarning, "Node " + node.Name + " has parent " +
                                      std::to_string(node.Parent) +
                                      ", which the model does not have");
            continue;
        }
        // A chain longer than the node count must come back to itself.
        int a = i, steps = 0;
        while (ValidNode(a) && HNodes[a].Parent != -1 && steps <= n) {
            a = HNodes[a].Parent;
            ++steps;
        }
        if (steps > n)
            LogMessage(mtWarning, "Node " + node.Name + " lies in a cycle of parent links");
    }
}

void T3DO::ResetPose() {
    for (const auto& p : HNodes)
        p->SetCurrentPose(p->X, p->Y, p->Z, p->Pitch, p->Yaw, p->Roll);
}

void T3DO::TransformVertices() {
    const int count = HNodes.Count();
    for (int i = 0; i < count; ++i) {
        const T3DOHNode& n = HNodes[i];
        if (n.Mesh < 0 || n.Mesh >= Meshes.Count()) continue;
        // Compose the node's chain once: world = M * (vertex + pivot) + t.
        TMatrix m;
        RotationMatrix(m, n.CurPitch, n.CurYaw, n.CurRoll);
        double t[3] = {n.PivotX, n.PivotY, n.PivotZ};
        ApplyMatrix(m, t[0], t[1], t[2]);
        t[0] += n.CurX;
        t[1] += n.CurY;
        t[2] += n.CurZ;
        int a = n.Parent;
        for (int steps = 0; ValidNode(a) && steps < count; ++steps) {
            const T3DOHNode& p = HNodes[a];
            TMatrix r;
            RotationMatrix(r, p.CurPitch, p.CurYaw, p.CurRoll);
            TMatrix composed;
            std::memcpy(composed, r, sizeof r);
            MatMultiply(composed, m);
            std::memcpy(m, composed, sizeof m);
            ApplyMatrix(r, t[0], t[1], t[2]);
            t[0] += p.CurX;
            t[1] += p.CurY;
            t[2] += p.CurZ;
            a = p.Parent;
        }
        for (TVertex* v : Meshes[n.Mesh].Faces.Vertices) {
            v->tx = m[0][0] * v->x + m[0][1] * v->y + m[0][2] * v->z + t[0];
            v->ty = m[1][0] * v->x + m[1][1] * v->y + m[1][2] * v->z + t[1];
            v->tz = m[2][0] * v->x + m[2][1] * v->y + m[2][2] * v->z + t[2];
        }
    }
}

double T3DO::Radius() const {
    double r = 0;
    for (const auto& mesh : Meshes)
        r = std::max(r, mesh->Radius());
    return r;
}

double T3DO::LowestPoint() {
    TransformVertices();
    bool any = false;
    double lowest = 0;
    for (const auto& mesh : Meshes)
        for (const TVertex* v : mesh->Faces.Vertices) {
            if (!any || v->tz < lowest) lowest = v->tz;
            any = true;
        }
    return lowest;
}

bool T3DO::IsInSubtree(int ancestor, int node) const {
    if (node == ancestor) return true;
    for (int steps = 0; steps <= HNodes.Count(); ++steps) {
        if (!ValidNode(node)) return false;
        node = HNodes[node].Parent;
        if (node == ancestor) return true;
        if (node == -1) return false;
    }
    return false; // a cycle that does not pass through the ancestor
}

} // namespace vorlin
