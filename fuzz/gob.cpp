// A container opened, every folder listed and every stored file read to its end.
#include <vector>

#include "fuzz_common.h"
#include "support/Containers.h"
#include "support/FileOperations.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    const std::string path = fuzz::WriteInput(data, size, "input.gob");
    try {
        TGOB2Directory gob(path);
        std::vector<std::string> folders = gob.DirList;
        folders.push_back("");
        for (const std::string& folder : folders) {
            gob.ChDir(folder);
            (void)gob.ListDirs();
            (void)MaskedListing(gob, "*.key");
            (void)gob.ListFiles();
        }
        std::vector<char> buffer(4096);
        for (const TFileItem& item : std::vector<TFileItem>(gob.FileList)) {
            std::unique_ptr<TFile> f = gob.OpenFile(item.name);
            while (ReadAvailable(*f, buffer.data(), int64_t(buffer.size())) > 0) {
            }
            std::unique_ptr<TFile> again = gob.OpenFileByFI(item.info.get());
            (void)again->FileSize();
        }
    } catch (const Error&) {
    }
    return 0;
}
