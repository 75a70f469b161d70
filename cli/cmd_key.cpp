// The commands that read, write, check and sample one KEY.
#include <charconv>
#include <cstdio>

#include "cli_common.h"
#include "cli_json.h"
#include "edit/curves.h"
#include "edit/mirror.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "support/FileOperations.h"

namespace vorlin::cli {

QJsonObject KeyJson(const TKEYFile& doc) {
    QJsonObject out;
    out["name"] = Str(doc.Name);
    out["fullName"] = Str(doc.FullName);
    out["frames"] = Int(doc.Frames);
    out["flags"] = Int(doc.Flags);
    out["fps"] = Num(doc.FPS);
    out["type"] = Int(doc.KeyType);
    out["joints"] = Int(doc.Joints);
    QJsonArray markers;
    for (const auto& m : doc.Markers)
        markers.append(QJsonObject{{"frame", Num(m->Frame)}, {"type", Int(m->MarkerType)}});
    out["markers"] = markers;
    QJsonArray nodes;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const TKEYNode* n = &doc.Nodes[k];
        QJsonArray entries;
        for (const auto& e : n->Entries)
            entries.append(QJsonObject{{"frame", Int(e->Frame)},
                                       {"flags", Int(e->Flags)},
                                       {"x", Num(e->X)},
                                       {"y", Num(e->Y)},
                                       {"z", Num(e->Z)},
                                       {"pitch", Num(e->Pitch)},
                                       {"yaw", Num(e->Yaw)},
                                       {"roll", Num(e->Roll)},
                                       {"dx", Num(e->DX)},
                                       {"dy", Num(e->DY)},
                                       {"dz", Num(e->DZ)},
                                       {"dpitch", Num(e->DPitch)},
                                       {"dyaw", Num(e->DYaw)},
                                       {"droll", Num(e->DRoll)}});
        nodes.append(QJsonObject{
            {"node", Int(doc.Joint(k))}, {"meshName", Str(n->MeshName)}, {"entries", entries}});
    }
    out["nodes"] = nodes;
    out["warnings"] = StrArray(theSink->warnings);
    return out;
}

int KeyDump(const QStringList& args) {
    QCommandLineParser parser;
    QStringList pos = Parse(parser, args, 1, 1);
    Print(KeyJson(*LoadKeyReported(Bytes(pos[0]))));
    return 0;
}

int KeySave(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption recalc("recalc", "recompute every entry's rates");
    parser.addOption(recalc);
    QStringList pos = Parse(parser, args, 2, 2);
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(Bytes(pos[0]));
    if (parser.isSet(recalc)) doc->RecalcAll();
    std::string out = Bytes(pos[1]);
    doc->Name = PathName(out);
    doc->FullName = out;
    doc->SaveToFile(out);
    return 0;
}

// The KEY mirrored across the model's X = 0 plane, left and right nodes paired by name.
int KeyMirror(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption model("model", "name the joints by this model's nodes", "3DO");
    QCommandLineOption pair("pair", "pair two nodes (adds to or overrides the names' pairs)",
                            "A=B");
    parser.addOptions({model, pair});
    QStringList pos = Parse(parser, args, 2, 2);
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(Bytes(pos[0]));
    std::unique_ptr<T3DO> m;
    if (parser.isSet(model)) m = std::make_unique<T3DO>(Bytes(parser.value(model)), 0);
    const std::vector<std::string> names = JointNames(*doc, m.get());
    TMirrorPairs pairs = FindMirrorPairs(names);
    auto joint = [&](const QString& name) {
        for (size_t j = 0; j < names.size(); ++j)
            if (!names[j].empty() && SameText(names[j], Bytes(name))) return int(j);
        throw Error("No node is named " + Bytes(name) +
                    (m ? " in the model" : " in the KEY (name the model with --model)"));
    };
    for (const QString& given : parser.values(pair)) {
        const QStringList two = given.split('=');
        if (two.size() != 2) throw UsageError{"--pair takes A=B: " + Bytes(given)};
        const int a = joint(two[0]), b = joint(two[1]);
        if (a == b) throw UsageError{"--pair names one node twice: " + Bytes(given)};
        pairs.Set(a, b);
    }
    if (m)
        for (const std::string& p : AsymmetricPairs(*m, pairs))
            LogMessage(mtWarning, "The pair " + p +
                                      " is not placed as mirror images in the model: the mirrored "
                                      "animation will not mirror it exactly");
    const std::vector<std::string> alone = MirrorKey(*doc, pairs, names);
    const std::string out = Bytes(pos[1]);
    doc->Name = PathName(out);
    doc->FullName = out;
    doc->SaveToFile(out);
    QJsonArray paired;
    for (size_t j = 0; j < pairs.Partner.size(); ++j)
        if (pairs.Partner[j] > int(j))
            paired.append(QJsonArray{Str(names[j]), Str(names[size_t(pairs.Partner[j])])});
    QJsonObject report;
    report["pairs"] = paired;
    report["unpaired"] = StrArray(alone);
    report["warnings"] = StrArray(theSink->warnings);
    Print(report);
    return 0;
}

// The findings of the checker; the status tells whether one of them is an error.
int KeyCheck(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption model("model", "the model the KEY animates", "3DO");
    parser.addOption(model);
    QStringList pos = Parse(parser, args, 1, 1);
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(Bytes(pos[0]));
    const std::string text = ReadKeyText(Bytes(pos[0]));
    std::unique_ptr<T3DO> m;
    if (parser.isSet(model)) m = std::make_unique<T3DO>(Bytes(parser.value(model)), 0);
    const std::vector<TFinding> findings = CheckKey(*doc, m.get(), &text);
    QJsonArray list;
    bool error = false;
    for (const TFinding& f : findings) {
        list.append(FindingJson(f));
        error = error || f.Severity == TSeverity::Error;
    }
    QJsonObject out;
    out["findings"] = list;
    out["warnings"] = StrArray(theSink->warnings);
    Print(out);
    return error ? 1 : 0;
}

// The node a curves command names: by its place, by its mesh name, or (with a model) by the
// model node it drives, as the game binds it.
int CurvesNode(const TKEYFile& doc, const T3DO* model, QCommandLineParser& parser,
               const QCommandLineOption& node, const QCommandLineOption& index, std::string& name) {
    if (parser.isSet(node) == parser.isSet(index))
        throw UsageError{"give one of --node and --index"};
    if (parser.isSet(index)) {
        const int k = ToInt(parser.value(index), "--index");
        if (k < 0 || k >= doc.Nodes.Count())
            throw Error("The KEY has no node " + std::to_string(k) + " (it has " +
                        std::to_string(doc.Nodes.Count()) + ")");
        const int32_t joint = doc.Joint(k);
        name = model && joint >= 0 && joint < model->HNodes.Count() ? model->HNodes[joint].Name
                                                                    : doc.Nodes[k].MeshName;
        return k;
    }
    const std::string wanted = Bytes(parser.value(node));
    if (model) {
        for (int j = 0; j < model->HNodes.Count(); ++j)
            if (SameText(model->HNodes[j].Name, wanted)) {
                const int k = doc.NodeOfJoint(j);
                if (k < 0) throw Error("No KEY node drives model node " + wanted);
                name = model->HNodes[j].Name;
                return k;
            }
        throw Error("The model has no node " + wanted);
    }
    for (int k = 0; k < doc.Nodes.Count(); ++k)
        if (SameText(doc.Nodes[k].MeshName, wanted)) {
            name = doc.Nodes[k].MeshName;
            return k;
        }
    throw Error("The KEY has no node named " + wanted);
}

std::string CsvNumber(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

int KeyCurves(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption node("node", "the node by name", "NAME");
    QCommandLineOption index("index", "the node by its place in the KEY", "N");
    QCommandLineOption modelPath("model", "the model whose node names --node takes", "3DO");
    QCommandLineOption from("from", "first frame", "F");
    QCommandLineOption to("to", "last frame", "T");
    QCommandLineOption csv("csv", "comma-separated values instead of JSON");
    parser.addOptions({node, index, modelPath, from, to, csv});
    QStringList pos = Parse(parser, args, 1, 1);
    std::unique_ptr<TKEYFile> doc = LoadKeyReported(Bytes(pos[0]));
    std::unique_ptr<T3DO> model;
    if (parser.isSet(modelPath)) model = std::make_unique<T3DO>(Bytes(parser.value(modelPath)));
    std::string name;
    const int k = CurvesNode(*doc, model.get(), parser, node, index, name);
    if (doc->Nodes[k].Entries.Empty()) throw Error("Node " + name + " has no entries");
    if (doc->Frames <= 0 && !parser.isSet(to))
        throw Error("The KEY has no frames (FRAMES " + std::to_string(doc->Frames) +
                    "): give --to for the frames to sample");
    const int first = parser.isSet(from) ? ToInt(parser.value(from), "--from") : 0;
    const int last = parser.isSet(to) ? ToInt(parser.value(to), "--to") : doc->Frames - 1;
    if (last < first) throw UsageError{"--to comes before --from"};
    if (int64_t(last) - first >= 1000000) throw UsageError{"at most a million frames"};
    if (first < 0 || last >= doc->Frames)
        LogMessage(mtWarning, "Frames outside the animation's 0.." +
                                  std::to_string(std::max(doc->Frames - 1, 0)) +
                                  " are posed as the game carries the entries on past its ends");
    TCurveSamples samples;
    SampleCurves(*doc, k, first, last, samples);
    const TKEYEntries& entries = doc->Nodes[k].Entries;

    if (parser.isSet(csv)) {
        std::string text = "frame,x,y,z,pitch,yaw,roll,key\n";
        size_t e = 0;
        for (int i = 0; i < samples.Count(); ++i) {
            const int frame = first + i;
            text += std::to_string(frame);
            for (int c = 0; c < kChannels; ++c)
                text += "," + CsvNumber(samples.Values[c][i]);
            while (e < size_t(entries.Count()) && entries[int(e)].Frame < frame)
                ++e;
            const bool key = e < size_t(entries.Count()) && entries[int(e)].Frame == frame;
            text += key ? ",1\n" : ",0\n";
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    QJsonObject out;
    out["node"] = Str(name);
    out["index"] = Int(k);
    out["joint"] = Int(doc->Joint(k));
    QJsonArray frames;
    for (int i = 0; i < samples.Count(); ++i)
        frames.append(Int(first + i));
    out["frames"] = frames;
    for (int c = 0; c < kChannels; ++c) {
        QJsonArray values;
        for (double v : samples.Values[c])
            values.append(Num(v));
        out[ChannelName(c)] = values;
    }
    QJsonArray keys;
    for (const auto& e : entries)
        keys.append(Int(e->Frame));
    out["keys"] = keys;
    out["warnings"] = StrArray(theSink->warnings);
    Print(out);
    return 0;
}

} // namespace vorlin::cli
