#include "edit/mod_check.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "edit/model_match.h"
#include "model/u_3dos.h"
#include "support/FileOperations.h"
#include "support/Files.h"
#include "support/misc_utils.h"

namespace fs = std::filesystem;

namespace vorlin {

bool TKeyReport::HasErrors() const {
    return std::any_of(Findings.begin(), Findings.end(),
                       [](const TFinding& f) { return f.Severity == TSeverity::Error; });
}

namespace {

bool HasExt(std::string_view path, std::string_view ext) {
    return SameText(PathExt(path), ext);
}

bool IsContainerName(std::string_view path) {
    return HasExt(path, ".gob") || HasExt(path, ".goo");
}

// One KEY to check, and where its text and its models come from.
struct TJob {
    std::string Path;
    bool ReadAhead = false; // Text holds the bytes (a container's KEYs are read on one thread)
    std::string Text;
    std::string ReadError; // what kept the file (or its container) from being read
    int Scope = -1;        // the models it may be checked against, with AutoModels
};

// The models of one container or folder tree, with their node names read once.
using TScope = std::vector<TModelNames>;

// Every model a KEY may be checked against, each read once and shared by the workers (the
// container cache the reading goes through is not shared between threads, hence the lock).
class TModelCache {
public:
    const T3DO* Get(const std::string& path, std::string& error) {
        std::lock_guard lock(mutex_);
        auto it = models_.find(path);
        if (it == models_.end()) {
            Entry entry;
            TKeptMessages quiet; // a model's own warnings are not the KEY's
            try {
                entry.Model = std::make_unique<T3DO>(path, 0);
            } catch (const std::exception& e) {
                entry.Error = e.what();
            }
            it = models_.emplace(path, std::move(entry)).first;
        }
        error = it->second.Error;
        return it->second.Model.get();
    }

private:
    struct Entry {
        std::unique_ptr<T3DO> Model;
        std::string Error;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> models_;
};

TPlacedFinding ErrorFinding(const std::string& message) {
    TPlacedFinding f;
    f.Severity = TSeverity::Error;
    f.Message = message;
    f.Where = "file";
    return f;
}

std::vector<std::string> SortedFiles(const std::string& dir, std::string_view ext) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator
             it(dir, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && HasExt(it->path().filename().string(), ext))
            found.push_back(it->path().string());
    std::sort(found.begin(), found.end());
    return found;
}

// The models each KEY may be checked against, with AutoModels. A list of models is read once,
// however many KEYs share it (KEYs given one by one, as a shell's *.key gives them).
class TScopes {
public:
    int Of(const std::vector<std::string>& models) {
        const auto [it, fresh] = known_.try_emplace(models, int(list_.size()));
        if (fresh) {
            TScope scope;
            for (const std::string& path : models)
                scope.push_back({path, ModelNodeNames(path)});
            list_.push_back(std::move(scope));
        }
        return it->second;
    }
    const TScope& operator[](size_t i) const { return list_[i]; }

private:
    std::vector<TScope> list_;
    std::map<std::vector<std::string>, int> known_;
};

void CollectContainer(const std::string& path, bool autoModels, std::vector<TJob>& jobs,
                      TScopes& scopes);

// The KEYs of one path given, and (with AutoModels) the models they may be checked against.
void Collect(const std::string& path, bool autoModels, std::vector<TJob>& jobs, TScopes& scopes) {
    std::error_code ec;
    if (IsContainerPath(path)) {
        // Read here: containers are opened through a cache the workers do not share.
        TJob job{path, true, {}, {}, autoModels ? scopes.Of(ModelCandidates(path, {})) : -1};
        try {
            job.Text = ReadKeyText(path);
        } catch (const std::exception& e) {
            job.ReadError = e.what();
        }
        jobs.push_back(std::move(job));
        return;
    }
    if (fs::is_directory(path, ec)) {
        const int scope = autoModels ? scopes.Of(SortedFiles(path, ".3do")) : -1;
        for (std::string& key : SortedFiles(path, ".key"))
            jobs.push_back({std::move(key), false, {}, {}, scope});
        // The containers of the tree (a mod's packed GOB beside its sources), each on its own.
        for (const char* ext : {".gob", ".goo"})
            for (const std::string& container : SortedFiles(path, ext))
                CollectContainer(container, autoModels, jobs, scopes);
        return;
    }
    if (!fs::exists(path, ec)) throw Error("No such file or folder: " + path);
    if (!IsContainerName(path)) {
        jobs.push_back(
            {path, false, {}, {}, autoModels ? scopes.Of(ModelCandidates(path, {})) : -1});
        return;
    }
    CollectContainer(path, autoModels, jobs, scopes);
}

// A container's KEYs are read here, one after another, and parsed on the workers.
void CollectContainer(const std::string& path, bool autoModels, std::vector<TJob>& jobs,
                      TScopes& scopes) {
    std::unique_ptr<TContainerFile> container;
    try {
        container = OpenContainerFile(path);
        (void)container->ListFiles();
    } catch (const IOError& e) {
        jobs.push_back({path, false, {}, e.what(), -1}); // it names the file
        return;
    } catch (const std::exception& e) {
        jobs.push_back(
            {path, false, {}, std::string("The container cannot be read: ") + e.what(), -1});
        return;
    }
    std::vector<const TFileItem*> keys;
    std::vector<std::string> models;
    for (const TFileItem& item : container->FileList) {
        if (HasExt(item.name, ".key")) keys.push_back(&item);
        if (HasExt(item.name, ".3do")) models.push_back(path + ">" + item.name);
    }
    std::sort(keys.begin(), keys.end(),
              [](const TFileItem* a, const TFileItem* b) { return a->name < b->name; });
    std::sort(models.begin(), models.end());
    const int scope = autoModels ? scopes.Of(models) : -1;
    for (const TFileItem* item : keys) {
        TJob job{path + ">" + item->name, true, {}, {}, scope};
        try {
            std::unique_ptr<TFile> file = container->OpenFileByFI(item->info.get());
            job.Text = ReadRest(*file);
        } catch (const std::exception& e) {
            job.ReadError = e.what();
        }
        jobs.push_back(std::move(job));
    }
}

TKeyReport CheckOne(TJob& job, const T3DO* fixedModel, const TScopes& scopes, TModelCache& cache) {
    TKeyReport report;
    report.Path = job.Path;
    TKeptMessages kept;
    try {
        if (!job.ReadError.empty()) throw Error(job.ReadError);
        std::string text;
        if (job.ReadAhead) {
            text = std::move(job.Text);
        } else {
            TDiskFile file(job.Path);
            text = ReadRest(file);
        }
        std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromText(text, job.Path);
        const T3DO* model = fixedModel;
        if (job.Scope >= 0) {
            report.Nodes = doc->Nodes.Count();
            if (auto best = BestModel(*doc, scopes[size_t(job.Scope)])) {
                std::string error;
                model = cache.Get(best->Path, error);
                if (model) {
                    report.Model = best->Path;
                    report.Bound = best->Score;
                } else {
                    LogMessage(mtWarning, "The model that matches best, " + best->Path +
                                              ", cannot be read: " + error);
                }
            }
        }
        for (const TFinding& f : CheckKey(*doc, model, &text))
            report.Findings.push_back({f, WhereText(f, *doc)});
    } catch (const std::exception& e) {
        report.Findings.push_back(ErrorFinding(e.what()));
    }
    report.Warnings = std::move(kept.Kept);
    return report;
}

} // namespace

std::vector<TKeyReport> CheckMod(const std::vector<std::string>& paths,
                                 const TModCheckOptions& options) {
    std::vector<TJob> jobs;
    TScopes scopes;
    for (const std::string& path : paths)
        Collect(path, options.AutoModels, jobs, scopes);
    // A KEY named twice (itself and by its folder, by two spellings, a shell's *.key beside the
    // folder) is one file, checked once, where it first came.
    std::set<std::string> seen;
    std::erase_if(jobs, [&](const TJob& job) {
        const std::string id = FileIdentity(job.Path);
        return !seen.insert(id.empty() ? job.Path : id).second;
    });
    if (jobs.empty()) throw Error("No KEY files to check");
    std::unique_ptr<T3DO> fixedModel;
    if (!options.Model.empty()) fixedModel = std::make_unique<T3DO>(options.Model, 0);

    std::vector<TKeyReport> reports(jobs.size());
    TModelCache cache;
    std::atomic<size_t> next{0}, done{0};
    std::mutex mutex;
    std::condition_variable progressed;
    auto work = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            reports[i] = CheckOne(jobs[i], fixedModel.get(), scopes, cache);
            jobs[i].Text = std::string(); // the text is done with
            // The progress is told ten times a second; only the last file wakes it early.
            if (++done == jobs.size()) {
                std::lock_guard lock(mutex);
                progressed.notify_one();
            }
        }
    };
    unsigned threads = options.Threads ? options.Threads : std::thread::hardware_concurrency();
    threads = std::clamp<unsigned>(threads, 1, unsigned(std::min<size_t>(jobs.size(), 64)));
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(work);
    size_t told = 0;
    while (told < jobs.size()) {
        std::unique_lock lock(mutex);
        progressed.wait_for(lock, std::chrono::milliseconds(100),
                            [&] { return done == jobs.size(); });
        const size_t now = done;
        if (now != told && options.Progress) options.Progress(now, jobs.size());
        told = now;
    }
    for (std::thread& t : pool)
        t.join();
    return reports;
}

} // namespace vorlin
